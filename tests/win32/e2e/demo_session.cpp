// Starts QUILLON.exe and presses 打开读卡器, 寻卡, 装载KEYA and 读取M1数据 in
// turn, each after the one before has finished, then leaves it running:
// `make run` without a display takes its screenshot of that. With the
// argument `dictionary` it runs a dictionary read from the read list's
// context menu after finding the card instead of loading a key and reading,
// selects sector 8's value block and leaves the menu open over it. With
// `dumpwrite <file>` it chooses 把转储文件写入卡片… after finding the card,
// answers the open dialog with the file and leaves the confirmation open.
// With `compare <file>` it runs the dictionary read, chooses
// 与转储文件比较…, answers the open dialog with the file and leaves the
// compare's result open.
// Window messages, not synthetic keys: a key that arrives while a command
// holds the window can be lost.
#include <cwchar>

#include "app_driver.h"
#include "res/resource.h"

int wmain(int argc, wchar_t** argv) {
  const bool dictionary = argc > 1 && std::wcscmp(argv[1], L"dictionary") == 0;
  const bool dumpWrite = argc > 2 && std::wcscmp(argv[1], L"dumpwrite") == 0;
  const bool compare = argc > 2 && std::wcscmp(argv[1], L"compare") == 0;
  AppDriver app;
  if (!app.Start(BesideMe(L"QUILLON.exe"), {})) return 1;
  if (compare) {
    for (int button : {IDC_OPEN_READER, IDC_FIND_CARD}) app.Click(button);
    if (!app.ChooseFromContextMenu(IDC_READ_LIST, 0) || !app.WaitForStatus("字典读取完成")) return 1;
    const int kCompareCard = 8;  // separators not counted
    if (!app.ChooseFromContextMenu(IDC_READ_LIST, kCompareCard) || !app.AnswerFileDialog(argv[2])) return 1;
    if (!app.FindMessageBox()) return 1;
  } else if (dumpWrite) {
    for (int button : {IDC_OPEN_READER, IDC_FIND_CARD}) app.Click(button);
    const int kWriteDump = 7;  // the menu's last entry, separators not counted
    if (!app.ChooseFromContextMenu(IDC_READ_LIST, kWriteDump) || !app.AnswerFileDialog(argv[2])) return 1;
    if (!app.FindMessageBox()) return 1;
  } else if (dictionary) {
    for (int button : {IDC_OPEN_READER, IDC_FIND_CARD}) app.Click(button);
    if (!app.ChooseFromContextMenu(IDC_READ_LIST, 0) || !app.WaitForStatus("字典读取完成")) return 1;
    app.Select(IDC_READ_LIST, 0);
    app.Select(IDC_READ_LIST, 42);
    HWND list = GetDlgItem(app.Window(), IDC_READ_LIST);
    // The line near the top, so the menu opens inside the window.
    SendMessageW(list, LB_SETTOPINDEX, 36, 0);
    RECT line{};
    SendMessageW(list, LB_GETITEMRECT, 42, reinterpret_cast<LPARAM>(&line));
    POINT at{line.left + 160, (line.top + line.bottom) / 2};
    ClientToScreen(list, &at);
    PostMessageW(app.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
  } else {
    for (int button : {IDC_OPEN_READER, IDC_FIND_CARD, IDC_LOAD_KEY_A, IDC_READ_CARD}) app.Click(button);
  }
  app.Detach();
  return 0;
}
