// Loading the reader library by name at run time: the only place besides the
// pause that knows the platform's loader.
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

// The library beside the program, never one from the current folder or PATH.
// Altered search path lets a vendor library find its own helper DLLs there.
Module OpenLibrary(const char* name) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()))) == path.size())
    path.resize(path.size() * 2);
  path.resize(n);
  path.erase(path.find_last_of(L"\\/") + 1);
  path += Widen(name);
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* Symbol(Module m, const char* fn) { return reinterpret_cast<void*>(GetProcAddress(m, fn)); }
void CloseLibrary(Module m) { FreeLibrary(m); }
#else
using Module = void*;
Module OpenLibrary(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }
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

ReaderApi g_loaded;

}  // namespace

ReaderLoadResult LoadReaderLibrary(const char* name) {
  ReaderLoadResult result;
  Module m = OpenLibrary(name);
  if (!m) {
    result.error = ReaderLoadResult::kLibraryMissing;
    result.missing = name;
    return result;
  }
  ReaderApi api{};
  bool ok = Resolve(m, "dc_init", api.dc_init, result) && Resolve(m, "dc_beep", api.dc_beep, result) &&
            Resolve(m, "dc_reset", api.dc_reset, result) &&
            Resolve(m, "dc_config_card", api.dc_config_card, result) &&
            Resolve(m, "dc_request", api.dc_request, result) &&
            Resolve(m, "dc_anticoll", api.dc_anticoll, result) &&
            Resolve(m, "dc_select", api.dc_select, result) &&
            Resolve(m, "dc_pro_resethex", api.dc_pro_resethex, result) &&
            Resolve(m, "dc_load_key", api.dc_load_key, result) &&
            Resolve(m, "dc_authentication", api.dc_authentication, result) &&
            Resolve(m, "dc_read_hex", api.dc_read_hex, result) &&
            Resolve(m, "dc_write_hex", api.dc_write_hex, result);
  if (!ok) {
    CloseLibrary(m);
    return result;
  }
  // The library stays loaded for the life of the process, as the reader
  // stays open: nothing is ever unloaded once installed.
  g_loaded = api;
  InstallReaderApi(&g_loaded);
  return result;
}
