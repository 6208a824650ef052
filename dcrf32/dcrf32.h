#pragma once
// The twelve functions of the reader library, as every dcrf32 built here
// exports them (the virtual reader, the PC/SC one). On 32-bit Windows they
// are stdcall with undecorated names (the DLL is linked with --kill-at), as
// the vendor's library has them.

#include <stdint.h>

#if defined(_WIN32)
#define DCRF32_CALL __stdcall
#if defined(DCRF32_BUILDING)
#define DCRF32_API __declspec(dllexport)
#else
#define DCRF32_API __declspec(dllimport)
#endif
#else
#define DCRF32_CALL
#define DCRF32_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

DCRF32_API int32_t DCRF32_CALL dc_init(int16_t port, int32_t baud);
DCRF32_API int16_t DCRF32_CALL dc_beep(int32_t h, uint16_t time);
DCRF32_API int16_t DCRF32_CALL dc_reset(int32_t h, uint16_t time);
DCRF32_API int16_t DCRF32_CALL dc_config_card(int32_t h, uint8_t type);
DCRF32_API int16_t DCRF32_CALL dc_request(int32_t h, uint8_t mode, uint32_t* tag_type);
DCRF32_API int16_t DCRF32_CALL dc_anticoll(int32_t h, uint8_t bcnt, uint32_t* serial);
DCRF32_API int16_t DCRF32_CALL dc_select(int32_t h, uint32_t serial, uint8_t* sak);
DCRF32_API int16_t DCRF32_CALL dc_pro_resethex(int32_t h, uint8_t* len, char* ats_hex);
DCRF32_API int16_t DCRF32_CALL dc_load_key(int32_t h, uint8_t mode, uint8_t sector,
                                           uint8_t* key6);
DCRF32_API int16_t DCRF32_CALL dc_authentication(int32_t h, uint8_t mode, uint8_t sector);
DCRF32_API int16_t DCRF32_CALL dc_read_hex(int32_t h, uint8_t block, char* hex33);
DCRF32_API int16_t DCRF32_CALL dc_write_hex(int32_t h, uint8_t block, char* hex);

#ifdef __cplusplus
}
#endif
