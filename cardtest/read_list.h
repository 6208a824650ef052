#pragma once
// The read list's lines: each carries what it reports as item data, so a
// selection finds its sector and block even when an earlier sector failed
// and took one line instead of five. Kind 0 never occurs: a line without
// data is no line of ours.

#include <cstdint>
#include <string>

#include "cardtest/mifare.h"
#include "dialog/controls.h"

enum LineKind { kAuthOk = 1, kAuthFailed = 2, kBlockLine = 3 };

inline intptr_t LineData(LineKind kind, int sector, int block) {
  return static_cast<intptr_t>(kind) << 8 | BlockAddress(sector, block);
}

inline int LineKindOf(intptr_t data) {
  const int kind = static_cast<int>(data >> 8);
  return kind == kAuthOk || kind == kAuthFailed || kind == kBlockLine ? kind : 0;
}

// Adds a line and selects it.
inline void AppendLine(dlg::CListBox& list, const std::string& text, LineKind kind, int sector, int block) {
  const int index = list.AddString(text);
  list.SetItemData(index, LineData(kind, sector, block));
  list.SetCurSel(list.GetCount() - 1);
}
