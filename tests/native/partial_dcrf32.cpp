// A reader library that lacks dc_read_hex: the loader must name what is
// missing. Every function of the list is defined, but that one under
// another name.
#include "dcrf32/functions.h"

#define dc_read_hex dc_read_hex_not_exported

#pragma GCC diagnostic ignored "-Wunused-parameter"
#define DCRF32_STUB(ret, name, params) \
  extern "C" __attribute__((visibility("default"))) ret name params { return 0; }
DCRF32_FUNCTIONS(DCRF32_STUB)
