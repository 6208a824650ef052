#pragma once
// Which of the system's PC/SC readers the library opens.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pcsc {

struct Choice {
  std::optional<size_t> index;
  const char* why;  // for the trace
};

// The first reader whose name contains `wanted` (case-insensitive) when it
// is given, with no fallback: the user asked for that one. Otherwise the
// only reader, whatever its name; of several, the first whose name says it
// is contactless, else the first. A dual-interface reader lists its contact
// slot ("ICC", "SAM") and its contactless one ("PICC", "CL") as two
// readers; only the latter says so, so it is the one taken.
Choice ChooseReader(const std::vector<std::string>& names,
                    const std::optional<std::string>& wanted);

// PC/SC has no attribute for "contactless", so the name is all there is.
bool LooksContactless(const std::string& name);

}  // namespace pcsc
