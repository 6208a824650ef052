#include "reader/load_failure.h"

namespace {

// Windows' ERROR_MOD_NOT_FOUND: with the file itself there, a DLL it imports
// was not found.
const unsigned long kModuleNotFound = 126;

int Bits(uint16_t machine) {
  switch (machine) {
    case kMachineI386:
      return 32;
    case kMachineAmd64:
      return 64;
  }
  return 0;
}

uint32_t Little(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

}  // namespace

uint16_t PeMachine(const unsigned char* head, std::size_t n) {
  if (n < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
  // e_lfanew: where the PE signature is, anywhere a damaged file says.
  uint32_t pe = Little(head + 0x3c, 4);
  if (pe > n - 6) return 0;
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) return 0;
  return static_cast<uint16_t>(Little(head + pe + 4, 2));
}

ReaderLoadResult ClassifyLoadFailure(const std::string& library, const LoadFailure& why) {
  ReaderLoadResult r;
  r.library = library;
  int libraryBits = Bits(why.libraryMachine), programBits = Bits(why.programMachine);
  if (!why.fileExists) {
    r.error = ReaderLoadResult::kLibraryMissing;
    r.missing = library;
  } else if (libraryBits && programBits && libraryBits != programBits) {
    // Checked before the code: systems differ in what they report for it.
    r.error = ReaderLoadResult::kWrongFlavour;
    r.libraryBits = libraryBits;
    r.programBits = programBits;
  } else if (why.code == kModuleNotFound) {
    r.error = ReaderLoadResult::kDependencyMissing;
  } else {
    r.error = ReaderLoadResult::kLoadFailed;
    r.code = why.code;
    r.detail = why.detail;
  }
  return r;
}
