// The Win32 back end on a real window: the framework's operations reach the
// controls, in UTF-16, with the list boxes' and edits' own rules.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "dialog/win32/win32_backend.h"
#include "harness.h"

namespace {

enum : int { kAskCommand = 4242, kThrowCommand = 4243, kBusyCommand = 4244 };

HCURSOR Arrow() { return LoadCursorW(nullptr, IDC_ARROW); }
HCURSOR Hourglass() { return LoadCursorW(nullptr, IDC_WAIT); }

// The main dialog's template without the card commands behind it.
class Recording : public dlg::CDialog {
 public:
  Recording() : dlg::CDialog(IDD_CARDTEST_DIALOG) {}
  std::vector<std::pair<int, int>> commands;
  int answer = 0;
  // What the busy command saw of its own changes and of the cursor.
  std::vector<bool> busySaw;
  bool OnCommand(int id, int code) override {
    commands.emplace_back(id, code);
    if (id == kAskCommand) answer = MessageBox("密钥长度不够6字节");
    if (id == kThrowCommand) throw std::runtime_error("handler failed");
    if (id == kBusyCommand) Busy();
    return true;
  }
  // Lines, selections and a status, as a read-out makes them, with a
  // message box in the middle.
  void Busy() {
    dlg::Backend& b = *GetBackend();
    b.ListReset(IDC_READ_LIST);
    for (int i = 0; i < 40; ++i) {
      b.ListAdd(IDC_READ_LIST, "块[" + std::to_string(i) + "]");
      b.ListSetSel(IDC_READ_LIST, i);
    }
    b.SetText(IDC_STATUS, "before the box");
    busySaw.push_back(GetCursor() == Hourglass());
    busySaw.push_back(b.ListGetSel(IDC_READ_LIST) == 39 && b.GetText(IDC_STATUS) == "before the box");
    MessageBox("读扇区[01]第[1]块失败！");
    busySaw.push_back(GetCursor() == Hourglass());
    b.ListAdd(IDC_READ_LIST, "块[40]");
    b.ListSetSel(IDC_READ_LIST, 40);
    b.ListSetSel(IDC_READ_LIST, 41);  // past the end: changes nothing
    b.SetText(IDC_STATUS, "after the box");
  }
};
using Dialog = Scripted<Recording>;

TEST(Win32Backend, TextsLimitsAndFocus) {
  Dialog d;
  RunModal(d, [&](HWND dlg) {
    OnUi(dlg, [&] {
      dlg::Backend& b = *d.GetBackend();
      const std::string text = "扇区[00]:校验密码[A]成功！\xF0\xA0\x80\x80";  // and one beyond the BMP
      b.SetText(IDC_STATUS, text);
      EXPECT_EQ(b.GetText(IDC_STATUS), text);
      EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_STATUS)), L"扇区[00]:校验密码[A]成功！\xD840\xDC00");
      EXPECT_EQ(b.GetText(9999), "");

      b.SetFocus(IDC_WRITE_DATA);
      EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_WRITE_DATA));
      DWORD from = 1, to = 0;
      SendDlgItemMessageW(dlg, IDC_WRITE_DATA, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                          reinterpret_cast<LPARAM>(&to));
      EXPECT_EQ(from, 0u);
      EXPECT_EQ(to, DWORD(GetWindowTextLengthW(GetDlgItem(dlg, IDC_WRITE_DATA))));

      b.SetText(IDC_KEY, "");
      b.SetTextLimit(IDC_KEY, 12);
    });
    // Typing stops at the limit; setting a text from the program does not.
    HWND key = GetDlgItem(dlg, IDC_KEY);
    for (wchar_t c : std::wstring(L"0123456789ABCD")) SendMessageW(key, WM_CHAR, c, 1);
    EXPECT_EQ(WindowText(key), L"0123456789AB");
  });
}

TEST(Win32Backend, ListsKeepInsertionOrderSelectionAndData) {
  Dialog d;
  RunModal(d, [&](HWND dlg) {
    OnUi(dlg, [&] {
      dlg::Backend& b = *d.GetBackend();
      b.ListReset(IDC_READ_LIST);
      EXPECT_EQ(b.ListAdd(IDC_READ_LIST, "扇区[00]:校验密码[A]成功！"), 0);
      EXPECT_EQ(b.ListAdd(IDC_READ_LIST, "块[0]:3A5C7E91"), 1);
      EXPECT_EQ(b.ListAdd(IDC_READ_LIST, "A"), 2);
      EXPECT_EQ(b.ListCount(IDC_READ_LIST), 3);
      EXPECT_EQ(b.ListGetSel(IDC_READ_LIST), -1);
      b.ListSetSel(IDC_READ_LIST, 1);
      EXPECT_EQ(b.ListGetSel(IDC_READ_LIST), 1);
      EXPECT_EQ(b.ListGetText(IDC_READ_LIST, 0), "扇区[00]:校验密码[A]成功！");
      EXPECT_EQ(b.ListGetText(IDC_READ_LIST, 3), "");
      b.ListSetData(IDC_READ_LIST, 2, 77);
      EXPECT_EQ(b.ListGetData(IDC_READ_LIST, 2), 77);
      EXPECT_EQ(b.ListGetData(IDC_READ_LIST, 9), -1);
      b.ListSetSel(IDC_READ_LIST, -1);
      EXPECT_EQ(b.ListGetSel(IDC_READ_LIST), -1);
    });
    // A click on a line notifies the dialog; selecting from the program did not.
    HWND list = GetDlgItem(dlg, IDC_READ_LIST);
    RECT line;
    SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&line));
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(line.left + 2, line.top + 2));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(line.left + 2, line.top + 2));
    OnUi(dlg, [&] {
      EXPECT_EQ(d.GetBackend()->ListGetSel(IDC_READ_LIST), 2);
      d.GetBackend()->ListReset(IDC_READ_LIST);
      EXPECT_EQ(d.GetBackend()->ListCount(IDC_READ_LIST), 0);
    });
  });
  int selChanges = 0;
  for (auto& c : d.commands) selChanges += c == std::make_pair(int(IDC_READ_LIST), int(dlg::kListSelChange));
  EXPECT_EQ(selChanges, 1);
}

TEST(Win32Backend, MessageBoxIsOwnedByTheDialogAndReadsInChinese) {
  dlg::SetAppName("读卡测试");
  Dialog d;
  RunModal(d, [&](HWND dlg) {
    PostMessageW(dlg, WM_COMMAND, kAskCommand, 0);
    HWND box = WaitForDialog(GetWindowThreadProcessId(dlg, nullptr), dlg);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowText(box), L"读卡测试");
    std::wstring texts;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) texts += WindowText(c) + L"|";
    EXPECT_NE(texts.find(L"密钥长度不够6字节"), std::wstring::npos);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(box); });
  });
  dlg::SetAppName("QUILLON");
  EXPECT_EQ(d.answer, IDOK);
}

TEST(Win32Backend, ACommandRunsUnderTheWaitCursorAndShowsItsChangesBeforeABoxAndAtItsEnd) {
  Dialog d;
  RunModal(d, [&](HWND dlg) {
    HWND list = GetDlgItem(dlg, IDC_READ_LIST), status = GetDlgItem(dlg, IDC_STATUS);
    OnUi(dlg, [] { SetCursor(Arrow()); });
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(kBusyCommand, BN_CLICKED), 0);
    HWND box = WaitForDialog(GetWindowThreadProcessId(dlg, nullptr), dlg);
    ASSERT_NE(box, nullptr);
    // The box comes up over the command's changes so far, with the cursor
    // the user had.
    EXPECT_EQ(WindowText(status), L"before the box");
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 40);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 39);
    HCURSOR duringBox = nullptr;
    OnUi(dlg, [&] { duringBox = GetCursor(); });
    EXPECT_EQ(duringBox, Arrow());
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return WindowText(status) == L"after the box"; }));
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 41);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 40);
    EXPECT_TRUE(IsWindowVisible(list));
    HCURSOR after = nullptr;
    OnUi(dlg, [&] { after = GetCursor(); });
    EXPECT_EQ(after, Arrow());
  });
  EXPECT_EQ(d.busySaw, (std::vector<bool>{true, true, true}));
}

TEST(Win32Backend, AnExceptionInAHandlerEndsTheDialogAndLeavesDoModal) {
  Dialog d;
  HWND seen = nullptr;
  EXPECT_THROW(RunModal(d,
                        [&](HWND dlg) {
                          seen = dlg;
                          PostMessageW(dlg, WM_COMMAND, kThrowCommand, 0);
                          WaitFor([&] { return !IsWindow(dlg); });
                        }),
               std::runtime_error);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_EQ(dlg::DialogWindow(d), nullptr);
  EXPECT_EQ(d.GetBackend(), nullptr);
}

}  // namespace
