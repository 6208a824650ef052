// A reader library that imports a helper DLL, as vendor libraries do: copied
// without its helper, the system refuses to load it.
#include <cstdint>

extern "C" __declspec(dllimport) int absent_helper_answer();

extern "C" __declspec(dllexport) int32_t __stdcall dc_init(int16_t, int32_t) { return absent_helper_answer(); }
