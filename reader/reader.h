#pragma once
// The boundary to the reader library: the process-wide handle, the table of
// its functions, loading it by name, and the pause after each call.

#include <cstdint>
#include <string>

#include "reader/dcrf32_api.h"

// Result of the last open attempt, success or not; 0 before the first one.
extern int32_t g_hReader;

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
  bool ok() const { return error == kNone; }
  // One line for the user, e.g. "找不到读卡器库 dcrf32.dll".
  std::string Message() const;
};

// Loads the library (on Windows from the program's own folder) and, when all
// twelve functions resolve, installs its table. On failure nothing changes.
ReaderLoadResult LoadReaderLibrary(const char* name = DCRF32_LIBRARY_NAME);

// The functions every command calls. Until a library or a test's table is
// installed, every function fails (dc_init returns -1) instead of crashing.
const ReaderApi& Reader();

// Installs a caller-owned table (a test's fake); null restores the failing one.
void InstallReaderApi(const ReaderApi* api);

// Sleeps 10 ms, as accurately as the platform allows. Commands call it after
// every reader call but opening the reader and sounding the beeper.
void ReaderPause();

// Replaces what ReaderPause does (a test records the pause instead of
// sleeping); null restores the real 10 ms sleep.
using PauseFn = void (*)();
void InstallReaderPause(PauseFn pause);
