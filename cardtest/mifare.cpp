#include "cardtest/mifare.h"

bool TrailerAccessBitsValid(const uint8_t trailer[16]) {
  const unsigned b6 = trailer[6], b7 = trailer[7], b8 = trailer[8];
  // Byte 6: ~C2 (high nibble), ~C1 (low); byte 7: C1 (high), ~C3 (low);
  // byte 8: C3 (high), C2 (low).
  const unsigned c1 = b7 >> 4, c2 = b8 & 0xF, c3 = b8 >> 4;
  return (b6 & 0xF) == (~c1 & 0xF) && (b6 >> 4) == (~c2 & 0xF) && (b7 & 0xF) == (~c3 & 0xF);
}
