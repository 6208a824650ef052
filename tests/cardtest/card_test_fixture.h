#pragma once
// A card test window on the in-memory back end, with the recording fake as
// its reader, opened (handle 7) unless a test says otherwise.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cardtest/card_test_dlg.h"
#include "cardtest/resource.h"
#include "dialog/memory_backend.h"
#include "fake_reader.h"

class CardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hReader = 7;
    dlg.AttachBackend(&ui);
    dlg.OnInitDialog();
    shownAtStart = ui.SetTextCount(IDC_STATUS);
  }
  void TearDown() override { g_hReader = 0; }

  // How often the form has been shown since the window opened.
  int Shows() const { return ui.SetTextCount(IDC_STATUS) - shownAtStart; }
  const std::vector<std::string>& Lines(int list) const { return ui.ListOf(list).lines; }
  int Selected(int list) const { return ui.ListOf(list).selected; }
  // Starts counting shows and calls afresh, after a test's own set-up.
  void Mark() {
    shownAtStart = ui.SetTextCount(IDC_STATUS);
    reader.log.clear();
  }
  // Puts fields on screen as an earlier command would have left them.
  void ShowFields() {
    dlg.UpdateData(false);
    Mark();
  }

  FakeReader reader;
  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
  int shownAtStart = 0;
};
