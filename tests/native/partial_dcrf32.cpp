// A reader library that lacks dc_read_hex: the loader must name what is missing.
#include <cstdint>

extern "C" {
int32_t dc_init(int16_t, int32_t) { return 1; }
int16_t dc_beep(int32_t, uint16_t) { return 0; }
int16_t dc_reset(int32_t, uint16_t) { return 0; }
int16_t dc_config_card(int32_t, uint8_t) { return 0; }
int16_t dc_request(int32_t, uint8_t, uint32_t*) { return 0; }
int16_t dc_anticoll(int32_t, uint8_t, uint32_t*) { return 0; }
int16_t dc_select(int32_t, uint32_t, uint8_t*) { return 0; }
int16_t dc_pro_resethex(int32_t, uint8_t*, char*) { return 0; }
int16_t dc_load_key(int32_t, uint8_t, uint8_t, uint8_t*) { return 0; }
int16_t dc_authentication(int32_t, uint8_t, uint8_t) { return 0; }
int16_t dc_write_hex(int32_t, uint8_t, char*) { return 0; }
}
