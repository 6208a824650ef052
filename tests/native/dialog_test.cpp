#include <gtest/gtest.h>

#include "dialog/dialog.h"
#include "dialog/memory_backend.h"

namespace {

// A small form: text, limited text, bounded integer, text. The order of the
// bindings is what a failed collect must respect.
class Form : public dlg::CDialog {
 public:
  Form() : CDialog(1) {}
  std::string name = "ab", key = "FFFF", after = "kept";
  int count = 2;
  dlg::CListBox list;

 protected:
  void DoDataExchange(dlg::CDataExchange* pDX) override {
    dlg::DDX_Control(pDX, 9, list);
    dlg::DDX_Text(pDX, 10, name);
    dlg::DDX_Text(pDX, 11, key);
    dlg::DDV_MaxChars(pDX, key, 4);
    dlg::DDX_Text(pDX, 12, count);
    dlg::DDV_MinMaxInt(pDX, count, 0, 3);
    dlg::DDX_Text(pDX, 13, after);
  }
};

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    form.AttachBackend(&ui);
    form.OnInitDialog();
  }
  dlg::MemoryBackend ui;
  Form form;
};

}  // namespace

TEST(ParseInt, AcceptsDecimalWithSignAndBlanks) {
  int v = 0;
  EXPECT_TRUE(dlg::ParseInt("15", v));
  EXPECT_EQ(15, v);
  EXPECT_TRUE(dlg::ParseInt("  -7\t", v));
  EXPECT_EQ(-7, v);
  EXPECT_TRUE(dlg::ParseInt("+0003", v));
  EXPECT_EQ(3, v);
  EXPECT_TRUE(dlg::ParseInt("2147483647", v));
  EXPECT_EQ(2147483647, v);
  EXPECT_TRUE(dlg::ParseInt("-2147483648", v));
  EXPECT_EQ(-2147483647 - 1, v);
}

TEST(ParseInt, RefusesEverythingElseAndKeepsTheValue) {
  const char* bad[] = {"", "  ", "+", "-", "1 2", "0x10", "12a", "a12", "1.5", "2147483648", "-2147483649",
                       "99999999999999999999", "１２", "--1"};
  for (const char* text : bad) {
    int v = 42;
    EXPECT_FALSE(dlg::ParseInt(text, v)) << text;
    EXPECT_EQ(42, v) << text;
  }
}

TEST(TextLength, CountsUtf16Units) {
  EXPECT_EQ(0, dlg::TextLength(""));
  EXPECT_EQ(12, dlg::TextLength("FFFFFFFFFFFF"));
  EXPECT_EQ(2, dlg::TextLength("密钥"));
  EXPECT_EQ(2, dlg::TextLength("\xF0\x9F\x94\x91"));  // one emoji, a surrogate pair
}

TEST_F(Exchange, ShowPutsFieldsIntoControlsAndLimitsEdits) {
  EXPECT_EQ("ab", ui.GetText(10));
  EXPECT_EQ("FFFF", ui.GetText(11));
  EXPECT_EQ("2", ui.GetText(12));
  EXPECT_EQ(4, ui.Limit(11));
  EXPECT_EQ(-1, ui.Limit(10));
  ui.Type(11, "0123456789");
  EXPECT_EQ("0123", ui.GetText(11));  // an edit refuses what is past its limit
  EXPECT_TRUE(form.list.IsAttached());
  EXPECT_EQ(9, form.list.GetDlgCtrlID());
}

TEST_F(Exchange, CollectTakesEveryControl) {
  ui.Type(10, "new");
  ui.Type(12, " 3 ");
  ui.Type(13, "x");
  EXPECT_TRUE(form.UpdateData(true));
  EXPECT_EQ("new", form.name);
  EXPECT_EQ(3, form.count);
  EXPECT_EQ("x", form.after);
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(Exchange, NonIntegerStopsTheCollectAndKeepsLaterFields) {
  ui.Type(10, "new");
  ui.Type(12, "three");
  ui.Type(13, "typed");
  EXPECT_FALSE(form.UpdateData(true));
  EXPECT_EQ("new", form.name);
  EXPECT_EQ(2, form.count);
  EXPECT_EQ("kept", form.after);
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("请输入一个整数。", ui.MessageBoxes()[0].text);
  EXPECT_EQ(dlg::AppName(), ui.MessageBoxes()[0].caption);
  EXPECT_EQ(12, ui.Focus());
  EXPECT_EQ("typed", ui.GetText(13));  // the control keeps what the user typed
}

TEST_F(Exchange, OutOfBoundsIsStoredBeforeTheBoundFails) {
  ui.Type(12, "16");
  EXPECT_FALSE(form.UpdateData(true));
  EXPECT_EQ(16, form.count);
  EXPECT_EQ("请输入一个介于 0 和 3 之间的整数。", ui.MessageBoxes().at(0).text);
  EXPECT_EQ(12, ui.Focus());
}

TEST_F(Exchange, TooLongTextFailsOnCollect) {
  ui.SetText(11, "ABCDE");  // set by program, past the user limit
  EXPECT_FALSE(form.UpdateData(true));
  EXPECT_EQ("请输入不超过 4 个字符。", ui.MessageBoxes().at(0).text);
  EXPECT_EQ(11, ui.Focus());
}

TEST_F(Exchange, OkEndsOnlyAfterAValidCollectAndCancelAlways) {
  ui.Type(12, "x");
  form.OnOK();
  EXPECT_FALSE(ui.Ended());
  ui.Type(12, "1");
  form.OnOK();
  EXPECT_TRUE(ui.Ended());
  EXPECT_EQ(dlg::kIdOk, ui.EndResult());
  dlg::MemoryBackend other;
  Form f;
  f.AttachBackend(&other);
  f.OnCancel();
  EXPECT_EQ(dlg::kIdCancel, other.EndResult());
}

TEST_F(Exchange, ListKeepsOrderSelectionAndItemData) {
  form.list.AddString("b");
  form.list.AddString("a");
  form.list.SetItemData(1, 77);
  EXPECT_EQ(-1, form.list.GetCurSel());
  form.list.SetCurSel(1);
  EXPECT_EQ(1, form.list.GetCurSel());
  form.list.SetCurSel(5);  // past the end: nothing changes
  EXPECT_EQ(1, form.list.GetCurSel());
  EXPECT_EQ("a", form.list.GetText(1));
  EXPECT_EQ(77, form.list.GetItemData(1));
  EXPECT_EQ("", form.list.GetText(2));
  form.list.ResetContent();
  EXPECT_EQ(0, form.list.GetCount());
  EXPECT_EQ(-1, form.list.GetCurSel());
}

TEST_F(Exchange, ShowWritesOnlyFieldsTheProgramChangedSinceTheLastExchange) {
  ui.Type(10, "typed");
  ui.Type(12, "three");
  form.after = "changed";
  EXPECT_TRUE(form.UpdateData(false));
  EXPECT_EQ("typed", ui.GetText(10));
  EXPECT_EQ("three", ui.GetText(12));
  EXPECT_EQ("changed", ui.GetText(13));
  // Set back to what the control last showed is a change all the same.
  form.name = "x";
  form.UpdateData(false);
  ui.Type(10, "typed again");
  form.name = "ab";
  form.UpdateData(false);
  EXPECT_EQ("ab", ui.GetText(10));

  // A collect is an exchange too: what it took stays, and a field the
  // program sets afterwards is shown.
  ui.Type(12, " 3 ");
  ASSERT_TRUE(form.UpdateData(true));
  form.UpdateData(false);
  EXPECT_EQ(" 3 ", ui.GetText(12));
  form.count = 1;
  form.UpdateData(false);
  EXPECT_EQ("1", ui.GetText(12));

  // Text that is no integer stays in the control until the program sets the field.
  ui.Type(12, "one");
  EXPECT_FALSE(form.UpdateData(true));
  form.UpdateData(false);
  EXPECT_EQ("one", ui.GetText(12));

  // New controls know nothing of the old ones' exchanges.
  dlg::MemoryBackend other;
  form.AttachBackend(&other);
  form.UpdateData(false);
  EXPECT_EQ("ab", other.GetText(10));
  EXPECT_EQ("1", other.GetText(12));
}

namespace {

// A click whose handler sets a text twice, reads it back, fills and selects
// lines, and asks a question half-way.
class Busy : public Form {
 public:
  std::string readBack;
  int selectionReadBack = -2;
  bool OnCommand(int id, int) override {
    if (id != 1) return false;
    ui().SetText(10, "first");
    ui().SetText(10, "second");
    readBack = ui().GetText(10);
    list.AddString("a");
    list.AddString("b");
    list.SetCurSel(1);
    selectionReadBack = list.GetCurSel();
    MessageBox("?");
    ui().SetText(13, "last");
    list.SetCurSel(0);
    return true;
  }
  dlg::Backend& ui() { return *GetBackend(); }
};

}  // namespace

TEST(Command, ChangesReachTheControlsOnceBeforeAMessageBoxAndAtTheEnd) {
  dlg::MemoryBackend ui;
  Busy form;
  form.AttachBackend(&ui);
  form.OnInitDialog();
  const int before10 = ui.SetTextCount(10), before13 = ui.SetTextCount(13);

  EXPECT_TRUE(form.RunCommand(1, dlg::kButtonClicked));
  EXPECT_EQ("second", form.readBack);
  EXPECT_EQ(1, form.selectionReadBack);
  // The box showed over the window as it stood then.
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("second", ui.MessageBoxes()[0].texts.at(10));
  EXPECT_EQ("kept", ui.MessageBoxes()[0].texts.at(13));
  EXPECT_EQ(before10 + 1, ui.SetTextCount(10));
  EXPECT_EQ(before13 + 1, ui.SetTextCount(13));
  EXPECT_EQ("last", ui.GetText(13));
  EXPECT_EQ(0, ui.ListOf(9).selected);

  // Outside a command, and for notifications that are no click, every
  // change lands at once.
  form.OnCommand(1, dlg::kButtonClicked);
  EXPECT_EQ(before10 + 3, ui.SetTextCount(10));
}
