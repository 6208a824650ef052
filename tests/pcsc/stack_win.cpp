// The PC/SC stack of the Windows tests: the library's own winscard.dll
// import, answered by the test winscard.dll beside the test program. A card
// is put in the field by giving that DLL the responder's switches and
// having it start over.
#include <windows.h>

#include <string>

#include "stack.h"

namespace stack {

namespace {

bool Restart(const std::string& switches, std::string* problem) {
  SetEnvironmentVariableA("QUILLON_WINSCARD", switches.c_str());
  // Loaded with the PC/SC library, which imports it.
  HMODULE winscard = GetModuleHandleW(L"winscard.dll");
  using RestartFunction = LONG(WINAPI*)();
  const auto restart = winscard ? reinterpret_cast<RestartFunction>(
                                      reinterpret_cast<void*>(GetProcAddress(winscard, "TestReaderRestart")))
                                : nullptr;
  if (restart == nullptr) {
    *problem = "the winscard.dll loaded is not the test one: run with WINEDLLOVERRIDES=winscard=n "
               "and the test winscard.dll beside the test program";
    return false;
  }
  if (restart() != 0) {
    *problem = "the test winscard.dll refused QUILLON_WINSCARD=" + switches;
    return false;
  }
  // A call the library abandoned has returned from winscard.dll; its
  // thread needs a moment more to say so, as pcscd's card needs to be seen.
  Sleep(50);
  return true;
}

}  // namespace

std::string TemporaryFile(const char* stem) {
  char folder[MAX_PATH];
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  if (GetTempFileNameA(folder, std::string(stem).substr(0, 3).c_str(), 0, path) == 0) return "";
  return path;
}

int Port() { return 0; }

bool InsertCard(const std::vector<std::string>& arguments, std::string* problem) {
  std::string switches;
  for (const std::string& word : arguments) switches += word + " ";
  return Restart(switches, problem);
}

void RemoveCard() {
  std::string problem;
  Restart("--card none", &problem);
}

bool WaitForCard(bool, int) { return true; }

}  // namespace stack
