// Starts QUILLON.exe and presses 打开读卡器, 寻卡, 装载KEYA and 读取M1数据 in
// turn, each after the one before has finished, then leaves it running:
// `make run` without a display takes its screenshot of that. Window
// messages, not synthetic keys: a key that arrives while a command holds the
// window can be lost.
#include "app_driver.h"
#include "res/resource.h"

int wmain() {
  AppDriver app;
  if (!app.Start(BesideMe(L"QUILLON.exe"), {})) return 1;
  for (int button : {IDC_OPEN_READER, IDC_FIND_CARD, IDC_LOAD_KEY_A, IDC_READ_CARD}) app.Click(button);
  app.Detach();
  return 0;
}
