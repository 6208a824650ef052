#include "dialog/dialog.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace dlg {

namespace {

std::string g_appName = "QUILLON";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

const std::string& AppName() { return g_appName; }
void SetAppName(const std::string& name) { g_appName = name; }

bool ParseInt(const std::string& text, int& value) {
  size_t i = 0, n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  size_t start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = i;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits) return false;
  size_t end = i;
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return false;
  // strtoll on the checked digits alone: no locale, no hex, no octal.
  errno = 0;
  long long v = std::strtoll(text.substr(start, end - start).c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

int TextLength(const std::string& utf8) {
  int units = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    units += (c >= 0xF0) ? 2 : 1;      // beyond the BMP: a surrogate pair
  }
  return units;
}

void CDataExchange::Fail(const std::string& message) {
  m_backend.MessageBox(message, AppName(), kMbOk | kMbIconExclamation);
  m_backend.SetFocus(m_idLast);
  m_failed = true;
}

void CDataExchange::ShowText(int id, const std::string& text) {
  if (m_exchanged) {
    auto last = m_exchanged->find(id);
    if (last != m_exchanged->end() && last->second == text) return;
    (*m_exchanged)[id] = text;
  }
  m_backend.SetText(id, text);
}

void CDataExchange::Exchanged(int id, const std::string& text) {
  if (m_exchanged) (*m_exchanged)[id] = text;
}

void DDX_Control(CDataExchange* pDX, int id, CWndControl& control) {
  // Always (re)bind: a dialog object run a second time has a new back end.
  control.Attach(&pDX->m_backend, id);
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  if (pDX->m_failed) return;
  pDX->m_idLast = id;
  if (pDX->m_bSaveAndValidate) {
    value = pDX->m_backend.GetText(id);
    pDX->Exchanged(id, value);
  } else {
    pDX->ShowText(id, value);
  }
}

void DDX_Check(CDataExchange* pDX, int id, bool& value) {
  if (pDX->m_failed) return;
  pDX->m_idLast = id;
  if (pDX->m_bSaveAndValidate)
    value = pDX->m_backend.GetCheck(id);
  else
    pDX->m_backend.SetCheck(id, value);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  if (pDX->m_failed) return;
  pDX->m_idLast = id;
  if (!pDX->m_bSaveAndValidate) {
    pDX->ShowText(id, std::to_string(value));
    return;
  }
  // A text that is no integer leaves the field as it was, and the control
  // keeps the text until the program sets the field.
  int parsed;
  const bool ok = ParseInt(pDX->m_backend.GetText(id), parsed);
  if (ok) value = parsed;
  pDX->Exchanged(id, std::to_string(value));
  if (!ok) pDX->Fail("请输入一个整数。");
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int chars) {
  if (pDX->m_failed) return;
  if (!pDX->m_bSaveAndValidate) {
    pDX->m_backend.SetTextLimit(pDX->m_idLast, chars);
    return;
  }
  if (TextLength(value) > chars) pDX->Fail("请输入不超过 " + std::to_string(chars) + " 个字符。");
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int min, int max) {
  if (pDX->m_failed || !pDX->m_bSaveAndValidate) return;
  if (value < min || value > max)
    pDX->Fail("请输入一个介于 " + std::to_string(min) + " 和 " + std::to_string(max) + " 之间的整数。");
}

bool CDialog::UpdateData(bool saveAndValidate) {
  if (!m_backend) return false;
  CDataExchange dx(*m_backend, saveAndValidate, &m_exchanged);
  DoDataExchange(&dx);
  return !dx.m_failed;
}

int CDialog::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  if (!m_backend) return 0;
  return m_backend->MessageBox(text, caption.empty() ? AppName() : caption, type);
}

void CDialog::EndDialog(int result) {
  if (m_backend) m_backend->EndDialog(result);
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(kIdOk);
}

void CDialog::OnCancel() { EndDialog(kIdCancel); }

bool CDialog::OnCommand(int, int) { return false; }

bool CDialog::RunCommand(int id, int notifyCode) {
  if (!m_backend || (notifyCode != kButtonClicked && notifyCode != kListSelChange)) return OnCommand(id, notifyCode);
  if (m_nRunning > 0) return true;
  // Ends the command however the handler leaves, an exception included.
  struct Scope {
    Backend& backend;
    int& running;
    Scope(Backend& b, int& r) : backend(b), running(r) {
      ++running;
      backend.BeginCommand();
    }
    ~Scope() {
      backend.EndCommand();
      --running;
    }
  } scope(*m_backend, m_nRunning);
  return OnCommand(id, notifyCode);
}

bool CDialog::OnContextMenu(int, int, int) { return false; }

void CDialog::DoDataExchange(CDataExchange*) {}

}  // namespace dlg
