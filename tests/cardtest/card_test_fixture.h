#pragma once
// A card test window on the in-memory back end, with the recording fake as
// its reader, opened (handle 7) unless a test says otherwise.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cardtest/card_test_dlg.h"
#include "res/resource.h"
#include "dialog/memory_backend.h"
#include "fake_reader.h"

class CardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg.Session() = reader.Session(7);
    dlg.AttachBackend(&ui);
    dlg.OnInitDialog();
  }

  const std::vector<std::string>& Lines(int list) const { return ui.ListOf(list).lines; }
  int Selected(int list) const { return ui.ListOf(list).selected; }
  // Starts recording calls afresh, after a test's own set-up.
  void Mark() { reader.log.clear(); }
  // Finds the fake's card, so a refusal can be followed by waking it; the
  // counts start after it.
  void FindTheCard() {
    dlg.OnFindCard();
    Mark();
  }
  // Puts fields on screen as an earlier command would have left them.
  void ShowFields() {
    dlg.UpdateData(false);
    Mark();
  }

  FakeReader reader;
  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
};
