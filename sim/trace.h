#pragma once
// The call log: one line per library call, written and flushed as the call
// returns, so a crash of the program still leaves every call before it.
//   <ms since load>\t<function>\t<arguments, comma-separated>\t<result>
// A call that failed for a reason the caller cannot see (dc_init refusing a
// setting or a dump) adds it after one more tab.

#include <string>

#include "dcrf32/trace_file.h"

namespace sim {

class Trace : public dcrf32::TraceFile {
 public:
  explicit Trace(Clock::time_point origin) : TraceFile("virtual reader", origin) {}

  void Write(Clock::time_point start, const char* function, const std::string& arguments,
             long result, const std::string& reason = {});
};

}  // namespace sim
