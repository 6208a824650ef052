// The real main dialog, run modally as the program runs it, checked from a
// second thread the way a user (or a screen reader) would see it.
#include <gtest/gtest.h>

#include <vector>

#include "res/resource.h"
#include "harness.h"
#include "reader/reader.h"
#include "layout.h"
#include "ui/card_test_window.h"

#include <commctrl.h>

namespace {

using Window = Scripted<CCardTestWindow>;

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(ThreadOf(window), &info);
  return info.hwndFocus;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

void PressKey(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

bool Ends(HWND window) {
  return WaitFor([&] { return !IsWindow(window); });
}

TEST(MainWindow, ControlsTabOrderAndPlacement) {
  Window window;
  RunModal(window, [&](HWND dlg) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    ASSERT_EQ(children.size(), kMainLayout.size());
    for (size_t i = 0; i < children.size(); ++i) {
      const LayoutItem& e = kMainLayout[i];
      SCOPED_TRACE("control #" + std::to_string(i + 1));
      EXPECT_EQ(static_cast<short>(GetDlgCtrlID(children[i])), e.id);
      EXPECT_EQ(_wcsicmp(ClassOf(children[i]).c_str(), e.cls.c_str()), 0);
      // Windows converts a control's position and size separately, so the
      // size is mapped on its own rather than as the far corner.
      RECT units = {e.x, e.y, e.w, e.h}, actual;
      MapDialogRect(dlg, &units);
      RECT expected = {units.left, units.top, units.left + units.right, units.top + units.bottom};
      GetWindowRect(children[i], &actual);
      MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&actual), 2);
      EXPECT_TRUE(EqualRect(&expected, &actual))
          << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
    }

    std::vector<int> tabs;
    HWND first = GetDlgItem(dlg, IDC_OPEN_READER), c = first;
    do {
      tabs.push_back(GetDlgCtrlID(c));
      c = GetNextDlgTabItem(dlg, c, FALSE);
    } while (c && c != first && tabs.size() < 64);
    EXPECT_EQ(tabs, (std::vector<int>{IDC_OPEN_READER, IDC_FIND_CARD, IDC_LOAD_KEY_A, IDC_LOAD_KEY_B, IDC_ATQA,
                                      IDC_SAK, IDC_CSN, IDC_ATS, IDC_READ_CARD, IDC_WRITE_CARD, IDC_READ_LIST,
                                      IDC_WRITE_LIST, IDC_KEY, IDC_WRITE_SECTOR, IDC_WRITE_BLOCK, IDC_WRITE_DATA,
                                      IDC_BLOCK_DATA}));
    EXPECT_EQ(FocusOf(dlg), first);
    // Only common controls 6 answer this: the manifest is in effect.
    SIZE ideal = {};
    EXPECT_TRUE(SendMessageW(first, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    EXPECT_GT(ideal.cx, 0);
    EXPECT_EQ(GetDlgItem(dlg, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(dlg, IDCANCEL), nullptr);

    RECT size = {0, 0, 677, 391}, client, frame, work;
    MapDialogRect(dlg, &size);
    GetClientRect(dlg, &client);
    EXPECT_TRUE(EqualRect(&size, &client));
    // Centred on the screen's work area, a pixel of rounding either way.
    GetWindowRect(dlg, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(frame.left + frame.right, work.left + work.right, 2);
    EXPECT_NEAR(frame.top + frame.bottom, work.top + work.bottom, 2);

    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, L"宋体");
    // The form was shown by the base initialisation, limits included.
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_KEY)), L"FFFFFFFFFFFF");
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_KEY, EM_GETLIMITTEXT, 0, 0), 12);
  });
}

TEST(MainWindow, SystemMenuOpensTheAboutBoxAgainAndAgain) {
  Window window;
  RunModal(window, [&](HWND dlg) {
    HMENU menu = GetSystemMenu(dlg, FALSE);
    const int n = GetMenuItemCount(menu);
    ASSERT_GE(n, 2);
    wchar_t text[64] = L"";
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    GetMenuItemInfoW(menu, n - 2, TRUE, &item);
    EXPECT_TRUE(item.fType & MFT_SEPARATOR);
    item.dwTypeData = text;
    item.cch = 64;
    GetMenuItemInfoW(menu, n - 1, TRUE, &item);
    EXPECT_EQ(item.wID, UINT(IDM_ABOUTBOX));
    EXPECT_STREQ(text, L"关于 QUILLON(&A)...");

    // The low four bits of a system command are the system's and ignored.
    for (WPARAM command : {WPARAM(IDM_ABOUTBOX), WPARAM(IDM_ABOUTBOX | 0x3)}) {
      PostMessageW(dlg, WM_SYSCOMMAND, command, 0);
      HWND about = WaitForDialog(ThreadOf(dlg), dlg);
      ASSERT_NE(about, nullptr);
      EXPECT_EQ(WindowText(about), L"关于 QUILLON");
      EXPECT_FALSE(IsWindowEnabled(dlg));
      EXPECT_NE(SendMessageW(GetWindow(about, GW_CHILD), STM_GETICON, 0, 0), 0);
      SendMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
      EXPECT_TRUE(Ends(about));
      EXPECT_TRUE(IsWindowEnabled(dlg));
    }
    // Other system commands keep their usual meaning.
    PostMessageW(dlg, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitFor([&] { return IsIconic(dlg) != FALSE; }));
  });
}

TEST(MainWindow, BothIconsAndTheDragIconAreTheApplicationIcon) {
  Window window;
  RunModal(window, [&](HWND dlg) {
    auto icon = reinterpret_cast<LRESULT>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    ASSERT_NE(icon, 0);
    EXPECT_EQ(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0), icon);
    EXPECT_EQ(SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0), icon);
    EXPECT_EQ(SendMessageW(dlg, WM_QUERYDRAGICON, 0, 0), icon);
  });
  // A client area smaller than the icon puts it left of and above the
  // corner, halves truncated toward zero.
  POINT at = CenteredIconOrigin(RECT{0, 0, 100, 61}, 32, 32);
  EXPECT_EQ(at.x, 34);
  EXPECT_EQ(at.y, 15);
  at = CenteredIconOrigin(RECT{0, 0, 0, 0}, 32, 32);
  EXPECT_EQ(at.x, -15);
  EXPECT_EQ(at.y, -15);
}

// Pixels of `control` as the screen shows them, as 0x00RRGGBB.
std::vector<DWORD> Capture(HWND control) {
  RECT rc;
  GetClientRect(control, &rc);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = rc.right;
  bi.bmiHeader.biHeight = -rc.bottom;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(control), mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, rc.right, rc.bottom, screen, 0, 0, SRCCOPY);
  std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + rc.right * rc.bottom);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(control, screen);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

DWORD AsPixel(COLORREF c) { return DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c); }

int RedPixels(const std::vector<DWORD>& pixels) {
  int n = 0;
  for (DWORD p : pixels) n += (p >> 16 & 0xFF) >= 0xC0 && (p >> 8 & 0xFF) < 0x50 && (p & 0xFF) < 0x50;
  return n;
}

TEST(MainWindow, StatusAndCardTypeTextsAloneAreRed) {
  Window window;
  RunModal(window, [&](HWND dlg) {
    HDC dc = CreateCompatibleDC(nullptr);
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      const int id = GetDlgCtrlID(c);
      SCOPED_TRACE(id);
      auto usual = DefWindowProcW(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c));
      SetTextColor(dc, RGB(1, 2, 3));
      auto brush = SendMessageW(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c));
      EXPECT_EQ(brush, usual);
      if (id == IDC_STATUS || id == IDC_CARD_TYPE)
        EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
      else
        EXPECT_NE(GetTextColor(dc), RGB(255, 0, 0));
    }
    DeleteDC(dc);

    // And on screen: red text on the dialog's own background.
    SetDlgItemTextW(dlg, IDC_STATUS, L"获取SAK成功");
    SetDlgItemTextW(dlg, IDC_CARD_TYPE, L"纯M1卡");
    SetDlgItemTextW(dlg, IDC_ATQA, L"0004");
    OnUi(dlg, [&] { RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW); });
    for (int id : {IDC_STATUS, IDC_CARD_TYPE}) {
      std::vector<DWORD> pixels = Capture(GetDlgItem(dlg, id));
      EXPECT_GT(RedPixels(pixels), 0) << id;
      EXPECT_EQ(pixels[0], AsPixel(GetSysColor(COLOR_BTNFACE)));
    }
    EXPECT_EQ(RedPixels(Capture(GetWindow(dlg, GW_CHILD))), 0);  // the "ATQA:" label
    EXPECT_EQ(RedPixels(Capture(GetDlgItem(dlg, IDC_ATQA))), 0);
  });
}

TEST(MainWindow, EnterInTheKeyEditAccepts) {
  Window window;
  EXPECT_EQ(RunModal(window,
                     [&](HWND dlg) {
                       HWND key = GetDlgItem(dlg, IDC_KEY);
                       SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(key), TRUE);
                       PressKey(key, VK_RETURN);
                       EXPECT_TRUE(Ends(dlg));
                     }),
            IDOK);
}

TEST(MainWindow, EnterWithABadSectorStaysAndEscCancels) {
  Window window;
  EXPECT_EQ(RunModal(window,
                     [&](HWND dlg) {
                       SetDlgItemTextW(dlg, IDC_WRITE_SECTOR, L"16");
                       HWND key = GetDlgItem(dlg, IDC_KEY);
                       SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(key), TRUE);
                       PressKey(key, VK_RETURN);
                       HWND box = WaitForDialog(ThreadOf(dlg), dlg);
                       ASSERT_NE(box, nullptr);
                       SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                       ASSERT_TRUE(Ends(box));
                       EXPECT_TRUE(IsWindow(dlg));
                       HWND sector = GetDlgItem(dlg, IDC_WRITE_SECTOR);
                       EXPECT_TRUE(WaitFor([&] { return FocusOf(dlg) == sector; }));
                       PressKey(FocusOf(dlg), VK_ESCAPE);
                       EXPECT_TRUE(Ends(dlg));
                     }),
            IDCANCEL);
}

TEST(MainWindow, CloseCancelsWithoutCollecting) {
  Window window;
  EXPECT_EQ(RunModal(window,
                     [&](HWND dlg) {
                       SetDlgItemTextW(dlg, IDC_WRITE_SECTOR, L"16");
                       PostMessageW(dlg, WM_CLOSE, 0, 0);
                       EXPECT_TRUE(Ends(dlg));
                     }),
            IDCANCEL);
  EXPECT_EQ(window.m_nSector, 0);
}

HCURSOR g_cursorAtReset = nullptr;

int16_t DCRF32_CALL ResetSeeingTheCursor(int32_t, uint16_t) {
  g_cursorAtReset = GetCursor();
  return -1;
}

TEST(MainWindow, CardCommandsRunUnderTheWaitCursorAndItGoesForAMessageBox) {
  ReaderApi api = ReaderSession().api();
  api.dc_reset = ResetSeeingTheCursor;
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  Window window;
  window.Session() = ReaderSession(api);
  RunModal(window, [&](HWND dlg) {
    auto cursor = [&] {
      HCURSOR now = nullptr;
      OnUi(dlg, [&] { now = GetCursor(); });
      return now;
    };
    OnUi(dlg, [&] { SetCursor(arrow); });
    SendMessageW(GetDlgItem(dlg, IDC_FIND_CARD), BM_CLICK, 0, 0);
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_STATUS)), L"dc_reset卡片复位失败");
    EXPECT_EQ(cursor(), arrow);

    SetDlgItemTextW(dlg, IDC_KEY, L"FFFF");
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_LOAD_KEY_A, BN_CLICKED), 0);
    HWND box = WaitForDialog(ThreadOf(dlg), dlg);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(cursor(), arrow);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(Ends(box));
    EXPECT_EQ(cursor(), arrow);
  });
  EXPECT_EQ(g_cursorAtReset, LoadCursorW(nullptr, IDC_WAIT));
}

}  // namespace
