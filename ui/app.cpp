#include "ui/app.h"

#include "dialog/win32/win32_backend.h"
#include "reader/reader.h"
#include "ui/card_test_window.h"

std::string ProgramName() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()))) == path.size())
    path.resize(path.size() * 2);
  path.resize(n);
  std::wstring::size_type slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  std::wstring::size_type dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return dlg::Narrow(name);
}

bool CCardTestApp::InitInstance() {
  dlg::SetAppName(ProgramName());

  // The library is loaded by name, not imported: without it the system
  // loader would refuse to start the program with a message of its own that
  // names neither the reader nor what to do.
  ReaderLoadResult loaded = LoadReaderLibrary();
  if (!loaded.ok()) {
    MessageBoxW(nullptr, dlg::Widen(loaded.Message()).c_str(), dlg::Widen(dlg::AppName()).c_str(),
                MB_OK | MB_ICONERROR);
    m_nExitCode = kExitReaderLibraryMissing;
    return false;
  }

  CCardTestWindow dlg;
  dlg.Session() = ReaderSession(*loaded.api);
  m_pMainWnd = &dlg;
  dlg::DoModal(dlg);
  m_pMainWnd = nullptr;
  return false;
}
