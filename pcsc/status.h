#pragma once
// Statuses the PC/SC library's functions return: those of every dcrf32
// built here (dcrf32/status.h), so a trace from either library reads the
// same; 10 to 13 are failures only a real reader stack produces.

#include <cstdint>

#include "dcrf32/status.h"

namespace pcsc {

using namespace dcrf32::statuses;

// What dc_init returns when it does not open a reader: -1 whatever the
// cause (no PC/SC service, no reader, none matching); the trace says which.
constexpr int32_t kInitNoReader = -1;
constexpr int32_t kInitInternalError = -2;

}  // namespace pcsc
