// Loading the reader library by name at run time: the only place besides the
// pause that knows the platform's loader.
#include "reader/load_failure.h"
#include "reader/reader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
using Module = HMODULE;

std::wstring Widen(const char* s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s, -1, &w[0], n);
  return w;
}

// The PE headers of every real DLL lie within its first page.
uint16_t MachineOf(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  unsigned char head[4096];
  DWORD got = 0;
  BOOL read = ReadFile(f, head, sizeof head, &got, nullptr);
  CloseHandle(f);
  return read ? PeMachine(head, got) : 0;
}

// The library beside the program, never one from the current folder or PATH.
// Altered search path lets a vendor library find its own helper DLLs there.
Module OpenLibrary(const char* name, LoadFailure& why) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()))) == path.size())
    path.resize(path.size() * 2);
  path.resize(n);
  path.erase(path.find_last_of(L"\\/") + 1);
  path += Widen(name);
  // No system box about a damaged image: the program's own message says more.
  DWORD errorMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &errorMode);
  Module m = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  why.code = GetLastError();
  SetThreadErrorMode(errorMode, nullptr);
  if (m) return m;
  DWORD attributes = GetFileAttributesW(path.c_str());
  why.fileExists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  why.libraryMachine = MachineOf(path);
  why.programMachine = sizeof(void*) == 8 ? kMachineAmd64 : kMachineI386;
  return nullptr;
}

void* Symbol(Module m, const char* fn) { return reinterpret_cast<void*>(GetProcAddress(m, fn)); }
void CloseLibrary(Module m) { FreeLibrary(m); }
#else
using Module = void*;
Module OpenLibrary(const char* name, LoadFailure& why) {
  Module m = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (m) return m;
  const char* text = dlerror();
  why.detail = text ? text : "";
  // glibc names the file it could not find: this one when the library itself
  // is absent, another for a missing dependency, which the text then names.
  why.fileExists = why.detail.rfind(std::string(name) + ": cannot open shared object file", 0) != 0;
  return nullptr;
}
void* Symbol(Module m, const char* fn) { return dlsym(m, fn); }
void CloseLibrary(Module m) { dlclose(m); }
#endif

template <typename F>
bool Resolve(Module m, const char* fn, F& slot, ReaderLoadResult& result) {
  void* p = Symbol(m, fn);
  if (!p) {
    result.error = ReaderLoadResult::kFunctionMissing;
    result.missing = fn;
    return false;
  }
  slot = reinterpret_cast<F>(p);
  return true;
}

}  // namespace

ReaderLoadResult LoadReaderLibrary(const char* name) {
  LoadFailure why;
  Module m = OpenLibrary(name, why);
  if (!m) return ClassifyLoadFailure(name, why);
  ReaderLoadResult result;
  result.library = name;
  ReaderApi api{};
#define DCRF32_RESOLVE(ret, name, params) &&Resolve(m, #name, api.name, result)
  const bool ok = true DCRF32_FUNCTIONS(DCRF32_RESOLVE);
#undef DCRF32_RESOLVE
  if (!ok) {
    CloseLibrary(m);
    return result;
  }
  // The library stays loaded for the life of the process, as the reader
  // stays open: nothing is ever unloaded once loaded.
  static ReaderApi loaded;
  loaded = api;
  result.api = &loaded;
  return result;
}
