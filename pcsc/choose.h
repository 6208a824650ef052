#pragma once
// Which of the system's PC/SC readers the library opens.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pcsc {

// The first reader whose name contains `wanted` (case-insensitive) when it
// is given, with no fallback: the user asked for that one. Otherwise the
// first reader whose name says it is contactless. A dual-interface reader
// lists its contact slot ("ICC", "SAM") and its contactless one ("PICC",
// "CL") as two readers; only the latter says so, so it is the one taken.
std::optional<size_t> ChooseReader(const std::vector<std::string>& names,
                                   const std::optional<std::string>& wanted);

// PC/SC has no attribute for "contactless", so the name is all there is.
bool LooksContactless(const std::string& name);

}  // namespace pcsc
