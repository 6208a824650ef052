// Starting QUILLON.exe as a user would, from a folder with or without the
// reader library beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

// A new empty folder for one start, removed with what was put in it.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"quillon-start-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(static_cast<long long>(NowMs() * 1000)) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const std::wstring& name : files_) DeleteFileW((path_ + name).c_str());
    RemoveDirectoryW(path_.c_str());
  }
  // Copies a file of the build folder in under `name`; the path of the copy.
  std::wstring Add(const std::wstring& built, const std::wstring& name) {
    files_.push_back(name);
    EXPECT_TRUE(CopyFileW(BesideMe(built.c_str()).c_str(), (path_ + name).c_str(), FALSE));
    return path_ + name;
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

class Started {
 public:
  explicit Started(const std::wstring& exe) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    std::wstring cmd = L"\"" + exe + L"\"";
    started_ = CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, Folder(exe).c_str(), &si,
                              &pi_) != FALSE;
  }
  ~Started() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  // Its first visible dialog window: the main window or a message box.
  HWND Window() const {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindProcessDialog(pi_.dwProcessId, nullptr)) != nullptr; });
    return found;
  }
  // The exit code once it has ended, or -1.
  long ExitCode() const {
    DWORD code = 0;
    if (WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(kPatienceMs)) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
  }
  bool ok() const { return started_; }

 private:
  bool started_ = false;
  PROCESS_INFORMATION pi_ = {};
};

std::wstring AllTexts(HWND box) {
  std::wstring texts;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) texts += WindowText(c) + L"\n";
  return texts;
}

// A message box instead of the main window, naming `missing`, captioned with
// the program's file name; closing it ends the program with a failure code.
void ExpectRefusal(const std::wstring& exe, const std::wstring& missing, const std::wstring& caption) {
  Started program(exe);
  ASSERT_TRUE(program.ok());
  HWND box = program.Window();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), caption);
  EXPECT_NE(AllTexts(box).find(missing), std::wstring::npos) << AllTexts(box).c_str();
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(program.ExitCode(), 1);
}

TEST(StartUp, WithoutTheReaderLibraryItSaysSoAndFails) {
  TempFolder folder;
  ExpectRefusal(folder.Add(L"QUILLON.exe", L"QUILLON.exe"), L"找不到读卡器库 dcrf32.dll", L"QUILLON");
}

TEST(StartUp, AReaderLibraryWithoutItsFunctionsNamesTheMissingOne) {
  // Renamed, as users do: the caption follows the file name.
  TempFolder folder;
  folder.Add(L"init_only_dcrf32.dll", L"dcrf32.dll");
  ExpectRefusal(folder.Add(L"QUILLON.exe", L"读卡测试.exe"), L"dc_beep", L"读卡测试");
}

// The file is there: saying it is missing would send the user looking for it.
TEST(StartUp, AReaderLibraryOfTheOtherFlavourIsToldApartFromAMissingOne) {
  TempFolder folder;
  folder.Add(L"other_flavour_dcrf32.dll", L"dcrf32.dll");
  const bool wide = sizeof(void*) == 8;
  ExpectRefusal(folder.Add(L"QUILLON.exe", L"QUILLON.exe"),
                std::wstring(L"dcrf32.dll 是") + (wide ? L"32" : L"64") + L"位的，本程序是" + (wide ? L"64" : L"32") +
                    L"位的",
                L"QUILLON");
}

TEST(StartUp, AReaderLibraryWithoutItsHelperDllIsToldApartFromAMissingOne) {
  TempFolder folder;
  folder.Add(L"needs_helper_dcrf32.dll", L"dcrf32.dll");
  ExpectRefusal(folder.Add(L"QUILLON.exe", L"QUILLON.exe"), L"dcrf32.dll 需要的其它DLL找不到", L"QUILLON");
}

TEST(StartUp, WithTheReaderLibraryTheMainWindowOpensAndClosingEndsCleanly) {
  Started program(BesideMe(L"QUILLON.exe"));
  ASSERT_TRUE(program.ok());
  HWND main = program.Window();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WindowText(main), L"QUILLON-请使用D8读卡器，使用时确定读卡器没有被其它程序打开----VARNHOLT为您支持");
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

}  // namespace
