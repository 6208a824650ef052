#pragma once
// The read list's lines: each carries what it reports as item data, so a
// selection finds its sector and block even when an earlier sector failed
// and took one line instead of five.

#include <cstdint>
#include <string>

#include "cardtest/mifare.h"
#include "cardtest/progress.h"
#include "dialog/controls.h"

// Sector and block within it, so that a 4K card's 16-block sectors fit too.
inline intptr_t LineData(LineKind kind, int sector, int block) {
  return static_cast<intptr_t>(kind) << 16 | sector << 8 | block;
}

inline int LineKindOf(intptr_t data) {
  const int kind = static_cast<int>(data >> 16);
  return kind == kAuthOk || kind == kAuthFailed || kind == kBlockLine ? kind : 0;
}
inline int LineSectorOf(intptr_t data) { return static_cast<int>(data >> 8 & 0xFF); }
inline int LineBlockOf(intptr_t data) { return static_cast<int>(data & 0xFF); }

// Adds a line and selects it.
inline void AppendLine(dlg::CListBox& list, const std::string& text, LineKind kind, int sector, int block) {
  const int index = list.AddString(text);
  list.SetItemData(index, LineData(kind, sector, block));
  list.SetCurSel(list.GetCount() - 1);
}
