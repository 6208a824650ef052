#pragma once
// What every dcrf32 built here shares (hex text, the environment, files,
// problem reports), under this library's own names.

#include <string>

#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

namespace pcsc {

using dcrf32::DisplayPath;
using dcrf32::OpenFile;
using dcrf32::ParseHexExact;
using dcrf32::PathFromEnvironment;
using dcrf32::SyncFile;
using dcrf32::TextFromEnvironment;
using dcrf32::ToHex;

inline void ReportProblem(const std::string& line) { dcrf32::ReportProblem("PC/SC", line); }

}  // namespace pcsc
