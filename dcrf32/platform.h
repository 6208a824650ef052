#pragma once
// The few places where Windows and POSIX differ for the reader libraries:
// settings and wide paths from the environment, opening files by such
// paths, flushing a file to disk, and the one-line problem report. No
// <windows.h> here.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace dcrf32 {

// Empty or unset both read as "not given".
std::optional<std::string> TextFromEnvironment(const char* name);
// On Windows read as UTF-16 so folders with non-ASCII names work.
std::optional<std::filesystem::path> PathFromEnvironment(const char* name);

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);
// Flushes stdio's buffer and asks the system to put the data on disk.
bool SyncFile(std::FILE* file);

std::string DisplayPath(const std::filesystem::path& path);

// One line on standard error, prefixed with the library's name so the user
// sees who is talking.
void ReportProblem(const char* library, const std::string& line);

}  // namespace dcrf32
