// A reader library that lacks all but its first function, as an old or a
// wrong dcrf32.dll would.
#include <cstdint>

extern "C" __declspec(dllexport) int32_t __stdcall dc_init(int16_t, int32_t) { return -1; }
