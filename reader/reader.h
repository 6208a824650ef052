#pragma once
// Loading the reader library by name; what is then called through it is a
// ReaderSession's business (reader/session.h).

#include <cstdint>
#include <string>

#include "reader/dcrf32_api.h"

#ifdef _WIN32
#define DCRF32_LIBRARY_NAME "dcrf32.dll"
#else
#define DCRF32_LIBRARY_NAME "libdcrf32.so"
#endif

struct ReaderLoadResult {
  enum Error {
    kNone,
    kLibraryMissing,     // no such file
    kWrongFlavour,       // a 32-bit library for a 64-bit program, or the reverse
    kDependencyMissing,  // the file is there, a DLL it needs is not
    kLoadFailed,         // any other reason the system gives
    kFunctionMissing
  };
  Error error = kNone;
  std::string library;  // the library asked for, on every failure
  std::string missing;  // the library's file name or the missing function's name
  int libraryBits = 0, programBits = 0;  // kWrongFlavour: 32 or 64
  unsigned long code = 0;                // kLoadFailed: the system's error code
  std::string detail;                    // kLoadFailed: the loader's own text, if any
  // The library's functions, for a ReaderSession; null unless ok(). The
  // library stays loaded for the life of the process.
  const ReaderApi* api = nullptr;
  bool ok() const { return error == kNone; }
  // One line for the user, e.g. "找不到读卡器库 dcrf32.dll".
  std::string Message() const;
};

// Loads the library (on Windows from the program's own folder) and, when all
// of its functions resolve, gives their table in `api`.
ReaderLoadResult LoadReaderLibrary(const char* name = DCRF32_LIBRARY_NAME);
