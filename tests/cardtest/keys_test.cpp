// Key loading against the recording fake.
#include "card_test_fixture.h"

namespace {

using LoadKey = CardTest;

std::vector<std::string> Loads(int mode, const std::string& key, int sectors) {
  std::vector<std::string> out;
  for (int s = 0; s < sectors; ++s)
    out.push_back("dc_load_key(7," + std::to_string(mode) + "," + std::to_string(s) + "," + key + ")");
  return out;
}

}  // namespace

TEST_F(LoadKey, DefaultKeyALoadsAllSectorsThenShowsThenBeeps) {
  // What the status line shows when the beep sounds.
  std::string shownAtBeep;
  reader.failIf = [&](const std::string& call) {
    if (call.rfind("dc_beep(", 0) == 0) shownAtBeep = ui.GetText(IDC_STATUS);
    return false;
  };
  dlg.OnLoadKeyA();
  auto expected = Loads(0, "FFFFFFFFFFFF", 16);
  expected.push_back("dc_beep(7,10)");
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_EQ("装载A密钥成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ(kKeyModeA, dlg.m_nKeyMode);
  EXPECT_EQ("装载A密钥成功", shownAtBeep);
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(LoadKey, KeyBLoadsUnderModeFourWithTheTypedDigitsOfEitherCase) {
  ui.Type(IDC_KEY, "a0A1b2B3c4C5");
  dlg.OnLoadKeyB();
  auto expected = Loads(4, "A0A1B2B3C4C5", 16);
  expected.push_back("dc_beep(7,10)");
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_EQ("装载B密钥成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ(kKeyModeB, dlg.m_nKeyMode);
}

TEST_F(LoadKey, ShortKeyOnlyTellsTheUser) {
  for (const char* key : {"", "FFFFFFFFFFF"}) {
    SCOPED_TRACE(key);
    dlg.m_nKeyMode = kKeyModeB;
    dlg.m_strStatus = "before";
    ShowFields();
    size_t boxes = ui.MessageBoxes().size();
    ui.Type(IDC_KEY, key);
    dlg.OnLoadKeyA();
    ASSERT_EQ(boxes + 1, ui.MessageBoxes().size());
    EXPECT_EQ("密钥长度不够6字节", ui.MessageBoxes().back().text);
    EXPECT_EQ(dlg::AppName(), ui.MessageBoxes().back().caption);
    EXPECT_EQ(dlg::kMbOk, ui.MessageBoxes().back().type);
    EXPECT_TRUE(reader.log.empty());
    EXPECT_EQ(kKeyModeB, dlg.m_nKeyMode);
    EXPECT_EQ("before", dlg.m_strStatus);
    EXPECT_EQ("before", ui.GetText(IDC_STATUS));
  }
}

TEST_F(LoadKey, KeyWithANonHexCharacterIsRefusedLikeAShortOne) {
  for (const char* key : {"FFFFFFFFFFFG", "FFFFF FFFFFF", "密钥密钥密钥密钥密钥密钥"}) {
    SCOPED_TRACE(key);
    ShowFields();
    size_t boxes = ui.MessageBoxes().size();
    ui.Type(IDC_KEY, key);
    dlg.OnLoadKeyB();
    ASSERT_EQ(boxes + 1, ui.MessageBoxes().size());
    EXPECT_EQ("密钥必须是12位十六进制数字", ui.MessageBoxes().back().text);
    EXPECT_EQ(dlg::AppName(), ui.MessageBoxes().back().caption);
    EXPECT_EQ(dlg::kMbOk, ui.MessageBoxes().back().type);
    EXPECT_TRUE(reader.log.empty());
    EXPECT_EQ(kKeyModeA, dlg.m_nKeyMode);
  }
}

TEST_F(LoadKey, FailureAtSectorZeroLeavesKeyModeBForTheSectorCommands) {
  reader.Fail("dc_load_key(7,4,0,");
  dlg.OnLoadKeyB();
  EXPECT_EQ(Loads(4, "FFFFFFFFFFFF", 1), reader.Calls());
  EXPECT_EQ("装载第0扇区B密钥失败", ui.GetText(IDC_STATUS));
  EXPECT_EQ(kKeyModeB, dlg.m_nKeyMode);
  Mark();
  dlg.OnReadCard();
  EXPECT_EQ("dc_authentication(7,4,0)", reader.Calls().at(0));
  EXPECT_EQ("扇区[00]:校验密码[B]成功！", Lines(IDC_READ_LIST).at(0));
}

TEST_F(LoadKey, FailedCollectStopsBeforeAnythingHappens) {
  ui.Type(IDC_KEY, "A0A1A2A3A4A5");
  ui.Type(IDC_WRITE_SECTOR, "16");
  ui.Type(IDC_WRITE_DATA, "typed data");
  dlg.OnLoadKeyB();
  EXPECT_TRUE(reader.log.empty());
  EXPECT_EQ(kKeyModeA, dlg.m_nKeyMode);
  EXPECT_EQ("typed data", ui.GetText(IDC_WRITE_DATA));
  ASSERT_EQ(1u, ui.MessageBoxes().size());  // the framework's, nothing of ours
  EXPECT_EQ(IDC_WRITE_SECTOR, ui.Focus());
  EXPECT_EQ("16", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("typed data", ui.GetText(IDC_WRITE_DATA));
}
