#include "cardtest/mifare.h"

#include "cards/access.h"

bool TrailerAccessBitsValid(const uint8_t trailer[16]) {
  int conditions[4];
  return DecodeAccessBits(trailer, conditions);
}
