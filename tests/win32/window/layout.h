#pragma once
// The main dialog's controls as the layout gives them, in template order.

#include <string>
#include <vector>

#include "dialog/win32/windows_h.h"

struct LayoutItem {
  int id;
  std::wstring cls, text;
  int x, y, w, h;  // dialog units
  DWORD style, exStyle;
};

extern const std::vector<LayoutItem> kMainLayout;
