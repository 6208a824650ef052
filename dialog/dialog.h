#pragma once
// Modal dialog base with two-way data exchange, in the manner of the classic
// Windows dialog frameworks: one DoDataExchange routine visits every binding,
// moving fields into controls (show) or controls into fields with validation
// (collect). A failed validation tells the user, puts the focus on the
// control, and ends the collect there: fields after it keep their values.
//
// A show writes a control only when the program changed the field since the
// last exchange with that control: commands that show the form without
// collecting it first (so that they work whatever the edits hold) leave
// what the user has typed since in place.

#include <cstdint>
#include <map>
#include <string>

#include "dialog/backend.h"
#include "dialog/controls.h"

namespace dlg {

// Each bound field's value, as text, at its last exchange, by control.
using ExchangedValues = std::map<int, std::string>;

class CDataExchange {
 public:
  // Without `exchanged` every show writes every control.
  CDataExchange(Backend& backend, bool saveAndValidate, ExchangedValues* exchanged = nullptr)
      : m_backend(backend), m_bSaveAndValidate(saveAndValidate), m_exchanged(exchanged) {}

  // Reports a failed validation of the last control visited and stops the
  // exchange: every later DDX/DDV call does nothing.
  void Fail(const std::string& message);

  // Show: puts `text` into control `id` unless that is what the field
  // held at their last exchange. Collect: notes the field's new value.
  void ShowText(int id, const std::string& text);
  void Exchanged(int id, const std::string& text);

  Backend& m_backend;
  const bool m_bSaveAndValidate;
  ExchangedValues* const m_exchanged;
  bool m_failed = false;
  int m_idLast = 0;  // the control the last DDX_ call visited
};

void DDX_Control(CDataExchange* pDX, int id, CWndControl& control);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Check(CDataExchange* pDX, int id, bool& value);
// Collect: fails when the text is longer; show: limits what the user may type.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int chars);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int min, int max);

// Parses a decimal integer: optional blanks, optional sign, digits, optional
// blanks; nothing else, and nothing outside the 32-bit range.
bool ParseInt(const std::string& text, int& value);
// Length as the edit control counts it: UTF-16 units.
int TextLength(const std::string& utf8);

class CDialog {
 public:
  explicit CDialog(int templateId) : m_nIDTemplate(templateId) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Show (false) or collect (true); false when a validation failed.
  bool UpdateData(bool saveAndValidate = true);

  int MessageBox(const std::string& text, const std::string& caption = std::string(), unsigned type = kMbOk);
  void EndDialog(int result);

  // Binds the dialog to its controls. The Win32 back end does this when the
  // window is created; a test does it with an in-memory back end and then
  // calls OnInitDialog itself.
  void AttachBackend(Backend* backend) {
    m_backend = backend;
    m_exchanged.clear();  // new controls: the first show writes them all
  }
  Backend* GetBackend() const { return m_backend; }
  int TemplateId() const { return m_nIDTemplate; }

  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  // A command from a control; true when handled.
  virtual bool OnCommand(int id, int notifyCode);
  // A command as the window system delivers it. A click or a list
  // selection may hold the thread for a second, so it runs as one command
  // of the back end (see Backend::BeginCommand); other notifications (an
  // edit's every keystroke) go straight to OnCommand.
  // A command that arrives while another one runs (a message posted to the
  // window while a long command keeps it responsive) is dropped: commands
  // never nest.
  bool RunCommand(int id, int notifyCode);
  // A right click, Shift+F10 or the menu key on control `id`, at screen
  // point (x, y) or (-1, -1) from the keyboard; true when handled.
  virtual bool OnContextMenu(int id, int x, int y);
  // Whether a command is running.
  bool Busy() const { return m_nRunning > 0; }

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);

 private:
  int m_nIDTemplate;
  Backend* m_backend = nullptr;
  ExchangedValues m_exchanged;
  int m_nRunning = 0;
};

}  // namespace dlg
