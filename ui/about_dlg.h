#pragma once
// The About box: template IDD_ABOUTBOX and nothing else. Its OK button, Esc
// and the close box end it through the framework's defaults.

#include "res/resource.h"
#include "dialog/dialog.h"

class CAboutDlg : public dlg::CDialog {
 public:
  CAboutDlg() : dlg::CDialog(IDD_ABOUTBOX) {}
};
