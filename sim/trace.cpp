#include "sim/trace.h"

namespace sim {

void Trace::Write(Clock::time_point start, const char* function, const std::string& arguments,
                  long result, const std::string& reason) {
  std::string shown = std::to_string(result);
  if (!reason.empty()) shown += "\t" + OneField(reason);
  Line(start, function, arguments, shown);
}

}  // namespace sim
