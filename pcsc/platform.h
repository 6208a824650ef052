#pragma once
// Settings from the environment, the trace file, and the one-line problem
// report: the places where Windows and POSIX differ apart from PC/SC.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace pcsc {

// Empty or unset both read as "not given". On Windows read as UTF-16 and
// returned as UTF-8, and read from the process's environment, not the C
// runtime's copy taken at start.
std::optional<std::string> TextFromEnvironment(const char* name);
std::optional<std::filesystem::path> PathFromEnvironment(const char* name);

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

void ReportProblem(const std::string& line);

}  // namespace pcsc
