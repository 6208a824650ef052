#pragma once
// Why a reader library did not load, told from what the system's loader
// said and what the file is. Platform-free: the loader gathers the facts,
// this names the cause the user can act on.

#include <cstddef>
#include <cstdint>
#include <string>

#include "reader/reader.h"

// The PE machine field of the two Windows flavours.
enum : uint16_t { kMachineI386 = 0x014c, kMachineAmd64 = 0x8664 };

struct LoadFailure {
  bool fileExists = false;
  unsigned long code = 0;       // the system's error code (GetLastError); 0 natively
  uint16_t libraryMachine = 0;  // the file's PE machine field, 0 when not a PE image
  uint16_t programMachine = 0;  // this program's
  std::string detail;           // the loader's own words where it gives them (dlerror)
};

// The machine field of a PE image from its first `n` bytes, or 0 when they
// do not hold a DOS header and a PE signature followed by the field.
uint16_t PeMachine(const unsigned char* head, std::size_t n);

// The failure of `library` as the user is told it.
ReaderLoadResult ClassifyLoadFailure(const std::string& library, const LoadFailure& why);
