#pragma once
// The reader library's twelve functions, written once. The libraries'
// exported declarations and export list, the program's function table and
// its failing stand-ins, the test fakes' tables and the benchmark are
// derived from this list. What is not derived is the work: adding a
// function takes eight files in all: its line here; its method in
// dcrf32/backend.h; its export in dcrf32/exports.cpp (the checks, the
// conversion, the log line); its declaration and body in sim/reader.h and
// sim/reader.cpp, and in pcsc/reader.h and pcsc/reader.cpp; and the test
// fake's body in tests/cardtest/fake_reader.cpp, whose table does not
// compile without it.
//
// X(return type, name, parameters). On 32-bit Windows the functions are
// stdcall with undecorated names, as the vendor's library has them; on
// 64-bit Windows and natively the platform has one convention.

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define DCRF32_CALL __stdcall
#else
#define DCRF32_CALL
#endif

// clang-format off
#define DCRF32_FUNCTIONS(X)                                                      \
  X(int32_t, dc_init, (int16_t port, int32_t baud))                             \
  X(int16_t, dc_beep, (int32_t h, uint16_t time))                               \
  X(int16_t, dc_reset, (int32_t h, uint16_t time))                              \
  X(int16_t, dc_config_card, (int32_t h, uint8_t type))                         \
  X(int16_t, dc_request, (int32_t h, uint8_t mode, uint32_t* tag_type))         \
  X(int16_t, dc_anticoll, (int32_t h, uint8_t bcnt, uint32_t* serial))          \
  X(int16_t, dc_select, (int32_t h, uint32_t serial, uint8_t* sak))             \
  X(int16_t, dc_pro_resethex, (int32_t h, uint8_t* len, char* ats_hex))         \
  X(int16_t, dc_load_key, (int32_t h, uint8_t mode, uint8_t sector, uint8_t* key6)) \
  X(int16_t, dc_authentication, (int32_t h, uint8_t mode, uint8_t sector))      \
  X(int16_t, dc_read_hex, (int32_t h, uint8_t block, char* hex33))              \
  X(int16_t, dc_write_hex, (int32_t h, uint8_t block, char* hex))
// clang-format on
