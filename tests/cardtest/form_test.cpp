// The card test form: defaults, exchange order, limits, what a failed
// collect leaves, and the routing of commands to their handlers.
#include <algorithm>
#include <functional>

#include "card_test_fixture.h"

namespace {

// Remembers the order in which the exchange visits the controls.
class OrderBackend : public dlg::MemoryBackend {
 public:
  std::vector<int> sets, gets;
  void SetText(int id, const std::string& text) override {
    sets.push_back(id);
    MemoryBackend::SetText(id, text);
  }
  std::string GetText(int id) const override {
    const_cast<OrderBackend*>(this)->gets.push_back(id);
    return MemoryBackend::GetText(id);
  }
};

const std::vector<int> kValueOrder = {IDC_ATQA,         IDC_ATS,         IDC_CSN,        IDC_SAK,
                                      IDC_STATUS,       IDC_KEY,         IDC_WRITE_BLOCK, IDC_WRITE_SECTOR,
                                      IDC_WRITE_DATA,   IDC_BLOCK_DATA,  IDC_CARD_TYPE};

using Form = CardTest;

}  // namespace

TEST_F(Form, FreshWindowShowsTheDefaults) {
  EXPECT_EQ("FFFFFFFFFFFF", ui.GetText(IDC_KEY));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("1", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(std::string(32, '0'), ui.GetText(IDC_WRITE_DATA));
  for (int id : {IDC_ATQA, IDC_ATS, IDC_CSN, IDC_SAK, IDC_STATUS, IDC_BLOCK_DATA, IDC_CARD_TYPE}) {
    EXPECT_EQ(1, ui.SetTextCount(id)) << id;
    EXPECT_EQ("", ui.GetText(id)) << id;
  }
  EXPECT_EQ(0, ui.ListCount(IDC_READ_LIST));
  EXPECT_EQ(0, ui.ListCount(IDC_WRITE_LIST));
  EXPECT_EQ(kKeyModeA, dlg.m_nKeyMode);
  EXPECT_EQ(IDD_CARDTEST_DIALOG, dlg.TemplateId());
}

TEST_F(Form, ControlsAreBoundToTheirIdentifiers) {
  EXPECT_EQ(IDC_STATUS, dlg.m_ctlStatus.GetDlgCtrlID());
  EXPECT_EQ(IDC_CARD_TYPE, dlg.m_ctlCardType.GetDlgCtrlID());
  EXPECT_EQ(IDC_WRITE_LIST, dlg.m_lstWrite.GetDlgCtrlID());
  EXPECT_EQ(IDC_READ_LIST, dlg.m_lstRead.GetDlgCtrlID());
}

TEST_F(Form, ShowLimitsKeyAndWriteDataEdits) {
  EXPECT_EQ(12, ui.Limit(IDC_KEY));
  EXPECT_EQ(32, ui.Limit(IDC_WRITE_DATA));
  ui.Type(IDC_KEY, "0123456789ABCDEF");
  EXPECT_EQ("0123456789AB", ui.GetText(IDC_KEY));
  ui.Type(IDC_WRITE_DATA, std::string(40, '7'));
  EXPECT_EQ(std::string(32, '7'), ui.GetText(IDC_WRITE_DATA));
  // The read-only fields and the integers are not limited.
  EXPECT_EQ(-1, ui.Limit(IDC_WRITE_SECTOR));
  EXPECT_EQ(-1, ui.Limit(IDC_BLOCK_DATA));
}

TEST(FormExchange, VisitsTheValuesInBindingOrderBothWays) {
  OrderBackend ui;
  CCardTestDlg dlg;
  dlg.AttachBackend(&ui);
  dlg.OnInitDialog();
  EXPECT_EQ(kValueOrder, ui.sets);
  EXPECT_TRUE(dlg.UpdateData(true));
  EXPECT_EQ(kValueOrder, ui.gets);
}

TEST_F(Form, CollectTakesEveryControlIntoItsField) {
  ui.Type(IDC_ATQA, "a");
  ui.Type(IDC_ATS, "b");
  ui.Type(IDC_CSN, "c");
  ui.Type(IDC_SAK, "d");
  ui.Type(IDC_STATUS, "e");
  ui.Type(IDC_KEY, "A0A1A2A3A4A5");
  ui.Type(IDC_WRITE_BLOCK, " 3 ");
  ui.Type(IDC_WRITE_SECTOR, "+15");
  ui.Type(IDC_WRITE_DATA, "0123");
  ui.Type(IDC_BLOCK_DATA, "f");
  ui.Type(IDC_CARD_TYPE, "g");
  ASSERT_TRUE(dlg.UpdateData(true));
  EXPECT_EQ("a", dlg.m_strAtqa);
  EXPECT_EQ("b", dlg.m_strAts);
  EXPECT_EQ("c", dlg.m_strCsn);
  EXPECT_EQ("d", dlg.m_strSak);
  EXPECT_EQ("e", dlg.m_strStatus);
  EXPECT_EQ("A0A1A2A3A4A5", dlg.m_strKey);
  EXPECT_EQ(3, dlg.m_nBlock);
  EXPECT_EQ(15, dlg.m_nSector);
  EXPECT_EQ("0123", dlg.m_strWriteData);
  EXPECT_EQ("f", dlg.m_strBlockData);
  EXPECT_EQ("g", dlg.m_strCardType);
  EXPECT_TRUE(ui.MessageBoxes().empty());
}

TEST_F(Form, SectorOutOfBoundsIsStoredAndStopsTheCollectThere) {
  ui.Type(IDC_WRITE_BLOCK, "2");
  ui.Type(IDC_WRITE_SECTOR, "16");
  ui.Type(IDC_WRITE_DATA, "ABCD");
  ui.Type(IDC_CARD_TYPE, "typed");
  EXPECT_FALSE(dlg.UpdateData(true));
  EXPECT_EQ(2, dlg.m_nBlock);
  EXPECT_EQ(16, dlg.m_nSector);
  EXPECT_EQ(std::string(32, '0'), dlg.m_strWriteData);
  EXPECT_EQ("", dlg.m_strCardType);
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("请输入一个介于 0 和 15 之间的整数。", ui.MessageBoxes()[0].text);
  EXPECT_EQ(IDC_WRITE_SECTOR, ui.Focus());
}

TEST_F(Form, BlockThatIsNoIntegerKeepsItsValue) {
  dlg.m_nBlock = 2;
  ui.Type(IDC_WRITE_BLOCK, "1x");
  ui.Type(IDC_WRITE_SECTOR, "9");
  EXPECT_FALSE(dlg.UpdateData(true));
  EXPECT_EQ(2, dlg.m_nBlock);
  EXPECT_EQ(0, dlg.m_nSector);
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("请输入一个整数。", ui.MessageBoxes()[0].text);
  EXPECT_EQ(IDC_WRITE_BLOCK, ui.Focus());
}

TEST_F(Form, KeyLongerThanTwelveFailsTheCollect) {
  // Only text put there by other means than typing can be that long.
  ui.SetText(IDC_KEY, "FFFFFFFFFFFFF");
  ui.Type(IDC_WRITE_BLOCK, "3");
  EXPECT_FALSE(dlg.UpdateData(true));
  EXPECT_EQ("FFFFFFFFFFFFF", dlg.m_strKey);
  EXPECT_EQ(1, dlg.m_nBlock);
  EXPECT_EQ(IDC_KEY, ui.Focus());
}

// Routing: each button click and the read list's selection change reach
// their handler; anything else is left to the framework.
TEST_F(Form, ButtonsRouteToTheirCommands) {
  struct Case {
    int id;
    const char* firstCall;
  } cases[] = {{IDC_OPEN_READER, "dc_init(100,115200)"},
               {IDC_FIND_CARD, "dc_reset(7,10)"},
               {IDC_LOAD_KEY_A, "dc_load_key(7,0,0,FFFFFFFFFFFF)"},
               {IDC_LOAD_KEY_B, "dc_load_key(7,4,0,FFFFFFFFFFFF)"},
               {IDC_WRITE_CARD, "dc_authentication(7,0,0)"},
               {IDC_READ_CARD, "dc_authentication(7,0,0)"}};
  for (const Case& c : cases) {
    reader.log.clear();
    dlg.m_nKeyMode = kKeyModeA;
    dlg.Session() = reader.Session(7);
    EXPECT_TRUE(dlg.OnCommand(c.id, dlg::kButtonClicked)) << c.id;
    ASSERT_FALSE(reader.Calls().empty()) << c.id;
    EXPECT_EQ(c.firstCall, reader.Calls()[0]) << c.id;
  }
}

TEST_F(Form, SelectionChangeOfTheReadListRoutesToTheSelection) {
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, 6);
  EXPECT_TRUE(dlg.OnCommand(IDC_READ_LIST, dlg::kListSelChange));
  EXPECT_EQ(1, dlg.m_nSector);
  EXPECT_EQ(0, dlg.m_nBlock);
}

TEST_F(Form, OtherCommandsAreNotHandled) {
  EXPECT_FALSE(dlg.OnCommand(IDC_WRITE_LIST, dlg::kListSelChange));
  EXPECT_FALSE(dlg.OnCommand(IDC_READ_LIST, dlg::kButtonClicked));
  EXPECT_FALSE(dlg.OnCommand(IDC_FIND_CARD, 5));  // BN_DOUBLECLICKED
  EXPECT_FALSE(dlg.OnCommand(IDC_KEY, dlg::kButtonClicked));
  EXPECT_FALSE(dlg.OnCommand(1006, dlg::kButtonClicked));
  EXPECT_TRUE(reader.log.empty());
}

// Commands that show the form without collecting it first.
TEST_F(Form, TypedEditsSurviveFindCardReadOutAndOpenReader) {
  const std::string data = "00112233445566778899AABBCCDDEEFF";
  const std::vector<std::function<void()>> commands = {[&] { dlg.OnFindCard(); }, [&] { dlg.OnOpenReader(); },
                                                       [&] {
                                                         reader.Fail("dc_authentication");
                                                         dlg.OnReadCard();
                                                       }};
  for (size_t i = 0; i < commands.size(); ++i) {
    SCOPED_TRACE(i);
    ui.Type(IDC_KEY, "A0A1A2A3A4A5");
    ui.Type(IDC_WRITE_SECTOR, "5");
    ui.Type(IDC_WRITE_DATA, data);
    commands[i]();
    EXPECT_EQ("A0A1A2A3A4A5", ui.GetText(IDC_KEY));
    EXPECT_EQ(data, ui.GetText(IDC_WRITE_DATA));
    // The read-out's selection sets the sector from its last line.
    EXPECT_EQ(i < 2 ? "5" : "15", ui.GetText(IDC_WRITE_SECTOR));
  }
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", ui.GetText(IDC_STATUS));
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", ui.GetText(IDC_BLOCK_DATA));
  // And the next command works with what the user typed.
  reader.log.clear();
  dlg.OnLoadKeyA();
  EXPECT_EQ("dc_load_key(7,0,0,A0A1A2A3A4A5)", reader.Calls().at(0));
}

TEST_F(Form, FindCardShowsWhatItSetsAndSelectionTakesTheLinesPosition) {
  dlg.OnReadCard();
  ui.Type(IDC_WRITE_SECTOR, "9");
  ui.Type(IDC_WRITE_BLOCK, "2");
  reader.sak = 0x28;
  dlg.OnFindCard();
  EXPECT_EQ("0004", ui.GetText(IDC_ATQA));
  EXPECT_EQ("3A5C7E91", ui.GetText(IDC_CSN));
  EXPECT_EQ("CPU+M1复合卡", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("0578807002", ui.GetText(IDC_ATS));
  EXPECT_EQ("获取SAK成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ("9", ui.GetText(IDC_WRITE_SECTOR));

  // The controls last showed sector 15, block 3 from line 79; selecting
  // that line again after typing must put them back, although the fields
  // end where they were at the last show.
  ui.ListSetSel(IDC_READ_LIST, 79);
  dlg.OnSelchangeReadList();
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(FakeReader::BlockText(63), ui.GetText(IDC_BLOCK_DATA));
}
