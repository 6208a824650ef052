#include "ui/card_test_window.h"

#include "res/resource.h"
#include "ui/about_dlg.h"
#include "ui/compare_result_window.h"
#include "ui/confirm_write_window.h"

CCardTestWindow::CCardTestWindow()
    : m_hIcon(LoadIconW(dlg::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

bool CCardTestWindow::OnInitDialog() {
  CCardTestDlg::OnInitDialog();

  if (HMENU menu = GetSystemMenu(Hwnd(), FALSE)) {
    wchar_t about[128] = L"";
    if (LoadStringW(dlg::ResourceModule(), IDS_ABOUTBOX, about, ARRAYSIZE(about)) > 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return true;
}

bool CCardTestWindow::OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
  if (dlg::IsCtlColorMessage(message)) {
    *result = reinterpret_cast<intptr_t>(
        OnCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    return true;
  }
  switch (message) {
    case WM_VKEYTOITEM:
      // The read list hands its keys to the dialog: Ctrl+C copies its line.
      if (LOWORD(wParam) != 'C' || GetKeyState(VK_CONTROL) >= 0 ||
          GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_READ_LIST)
        return false;
      RunCommand(IDM_COPY_LINE, dlg::kButtonClicked);
      *result = -2;  // handled: the list does nothing more with the key
      return true;
    case WM_SYSCOMMAND:
      return OnSysCommand(static_cast<UINT>(wParam));
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<intptr_t>(OnQueryDragIcon());
      return true;
  }
  return false;
}

bool CCardTestWindow::OnSysCommand(UINT id) {
  // The low four bits of a system command are the system's own.
  if ((id & 0xFFF0) != IDM_ABOUTBOX) return false;
  CAboutDlg about;
  dlg::DoModal(about);
  return true;
}

bool CCardTestWindow::OnPaint() {
  if (!IsIconic(Hwnd())) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Hwnd(), &ps);
  SendMessageW(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(Hwnd(), &client);
  POINT at = CenteredIconOrigin(client, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  DrawIcon(dc, at.x, at.y, m_hIcon);
  EndPaint(Hwnd(), &ps);
  return true;
}

HBRUSH CCardTestWindow::OnCtlColor(UINT message, HDC dc, HWND control) {
  // The dialog's usual colours first; only the text colour of the two
  // result lines changes, on the background everyone else gets.
  auto brush = reinterpret_cast<HBRUSH>(
      DefWindowProcW(Hwnd(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  const int id = GetDlgCtrlID(control);
  if (id == IDC_STATUS || id == IDC_CARD_TYPE) SetTextColor(dc, RGB(255, 0, 0));
  return brush;
}

POINT CenteredIconOrigin(const RECT& client, int iconWidth, int iconHeight) {
  const int width = client.right - client.left, height = client.bottom - client.top;
  return POINT{(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

std::unique_ptr<CConfirmWriteDlg> CCardTestWindow::NewConfirmWriteDialog() {
  return std::make_unique<CConfirmWriteWindow>();
}

std::unique_ptr<CCompareResultDlg> CCardTestWindow::NewCompareResultDialog() {
  return std::make_unique<CCompareResultWindow>();
}
