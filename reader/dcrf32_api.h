#pragma once
// The reader library's functions as one table of pointers. The loader fills
// it from dcrf32 by name; a test fills it with a recording fake.

#include <cstdint>

// The vendor's 32-bit Windows library uses the stdcall convention.
#if defined(_WIN32) && !defined(_WIN64)
#define DCRF32_CALL __stdcall
#else
#define DCRF32_CALL
#endif

struct ReaderApi {
  int32_t(DCRF32_CALL* dc_init)(int16_t port, int32_t baud);
  int16_t(DCRF32_CALL* dc_beep)(int32_t h, uint16_t time);
  int16_t(DCRF32_CALL* dc_reset)(int32_t h, uint16_t time);
  int16_t(DCRF32_CALL* dc_config_card)(int32_t h, uint8_t type);
  int16_t(DCRF32_CALL* dc_request)(int32_t h, uint8_t mode, uint32_t* tag_type);
  int16_t(DCRF32_CALL* dc_anticoll)(int32_t h, uint8_t bcnt, uint32_t* serial);
  int16_t(DCRF32_CALL* dc_select)(int32_t h, uint32_t serial, uint8_t* sak);
  int16_t(DCRF32_CALL* dc_pro_resethex)(int32_t h, uint8_t* len, char* ats_hex);
  int16_t(DCRF32_CALL* dc_load_key)(int32_t h, uint8_t mode, uint8_t sector, uint8_t* key6);
  int16_t(DCRF32_CALL* dc_authentication)(int32_t h, uint8_t mode, uint8_t sector);
  int16_t(DCRF32_CALL* dc_read_hex)(int32_t h, uint8_t block, char* hex33);
  int16_t(DCRF32_CALL* dc_write_hex)(int32_t h, uint8_t block, char* hex);
};
