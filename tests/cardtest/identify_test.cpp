// Opening the reader and finding a card, against the recording fake.
#include "card_test_fixture.h"

namespace {

using OpenReader = CardTest;
using FindCard = CardTest;

const std::vector<std::string> kFullSequence = {
    "dc_reset(7,10)",   "dc_config_card(7,65)", "dc_request(7,1)",      "dc_anticoll(7,0)",
    "dc_select(7,2440977466)", "dc_pro_resethex(7)", "dc_reset(7,10)",  "dc_config_card(7,65)",
    "dc_request(7,1)",  "dc_anticoll(7,0)",     "dc_select(7,2440977466)"};

}  // namespace

TEST_F(OpenReader, SuccessStoresTheHandleBeepsAndShowsOnce) {
  dlg.Session() = reader.Session();
  reader.initResult = 42;
  dlg.OnOpenReader();
  EXPECT_EQ(42, dlg.Session().handle());
  EXPECT_EQ("打开成功了", ui.GetText(IDC_STATUS));
  EXPECT_EQ((std::vector<std::string>{"dc_init(100,115200)", "dc_beep(42,10)"}), reader.log);
}

TEST_F(OpenReader, FailureKeepsTheFailedHandleBeepsWithItAndShowsTwice) {
  reader.initResult = -16;
  dlg.OnOpenReader();
  EXPECT_EQ(-16, dlg.Session().handle());
  EXPECT_EQ("读卡器打开失败了，自己找找问题哦", ui.GetText(IDC_STATUS));
  EXPECT_EQ((std::vector<std::string>{"dc_init(100,115200)", "dc_beep(-16,10)"}), reader.log);
  // Later commands hand the failed handle on unchanged.
  dlg.OnFindCard();
  EXPECT_EQ("dc_reset(-16,10)", reader.log[2]);
}

TEST_F(OpenReader, ZeroHandleCountsAsFailure) {
  reader.initResult = 0;
  dlg.OnOpenReader();
  EXPECT_EQ("读卡器打开失败了，自己找找问题哦", dlg.m_strStatus);
}

TEST_F(FindCard, BeforeAnyOpenTheReaderGetsHandleZero) {
  dlg.Session() = reader.Session();
  dlg.OnFindCard();
  EXPECT_EQ("dc_reset(0,10)", reader.Calls().at(0));
}

TEST_F(FindCard, CompositeCardRunsElevenPausedCallsAndShowsOnce) {
  reader.sak = 0x28;
  reader.ats = "067777710280";
  dlg.OnFindCard();
  EXPECT_EQ(kFullSequence, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_EQ(22u, reader.log.size());
  EXPECT_EQ("获取SAK成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ("0004", ui.GetText(IDC_ATQA));
  EXPECT_EQ("3A5C7E91", ui.GetText(IDC_CSN));
  EXPECT_EQ("28", ui.GetText(IDC_SAK));
  EXPECT_EQ("067777710280", ui.GetText(IDC_ATS));
  EXPECT_EQ("CPU+M1复合卡", ui.GetText(IDC_CARD_TYPE));
}

TEST_F(FindCard, M1CardWithoutActivationEndsAtTheAtsStep) {
  dlg.m_strAts = "earlier";
  ShowFields();
  reader.Fail("dc_pro_resethex");
  dlg.OnFindCard();
  EXPECT_EQ(std::vector<std::string>(kFullSequence.begin(), kFullSequence.begin() + 6), reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_EQ("dc_pro_resethex获取ATS失败", ui.GetText(IDC_STATUS));
  EXPECT_EQ("0004", ui.GetText(IDC_ATQA));
  EXPECT_EQ("3A5C7E91", ui.GetText(IDC_CSN));
  EXPECT_EQ("08", ui.GetText(IDC_SAK));
  EXPECT_EQ("纯M1卡", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("earlier", ui.GetText(IDC_ATS));
}

TEST_F(FindCard, CpuCardThenM1CardLeavesTheCpuAts) {
  reader.sak = 0x20;
  dlg.OnFindCard();
  EXPECT_EQ("纯CPU卡", dlg.m_strCardType);
  EXPECT_EQ("0578807002", dlg.m_strAts);
  reader.sak = 0x08;
  reader.Fail("dc_pro_resethex");
  dlg.OnFindCard();
  EXPECT_EQ("纯M1卡", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("0578807002", ui.GetText(IDC_ATS));
}

TEST(FindCardSteps, EachFailingStepStopsWithItsMessage) {
  struct Step {
    const char* call;
    int occurrence;
    const char* message;
  } steps[] = {
      {"dc_reset", 1, "dc_reset卡片复位失败"},           {"dc_config_card", 1, "dc_config_card设置卡片失败"},
      {"dc_request", 1, "dc_request获取ATQA失败"},       {"dc_anticoll", 1, "dc_anticoll获取CSN失败"},
      {"dc_select", 1, "dc_select获取SAK失败"},          {"dc_pro_resethex", 1, "dc_pro_resethex获取ATS失败"},
      {"dc_reset", 2, "dc_reset卡片复位失败"},           {"dc_config_card", 2, "dc_config_card设置卡片失败"},
      {"dc_request", 2, "dc_request获取ATQA失败"},       {"dc_anticoll", 2, "dc_anticoll获取CSN失败"},
      {"dc_select", 2, "dc_select获取SAK失败"},
  };
  for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
    SCOPED_TRACE(i + 1);
    FakeReader fake;
    dlg::MemoryBackend screen;
    CCardTestDlg window;
    window.Session() = fake.Session(7);
    window.AttachBackend(&screen);
    window.OnInitDialog();
    window.m_strCardType = "old type";
    fake.sak = 0x18;
    fake.Fail(steps[i].call, steps[i].occurrence);
    window.OnFindCard();
    EXPECT_EQ(i + 1, fake.Calls().size());
    EXPECT_TRUE(fake.PausedAfterEveryCall());
    EXPECT_EQ(steps[i].message, screen.GetText(IDC_STATUS));
    EXPECT_EQ(2, screen.SetTextCount(IDC_STATUS));
    // Emptied at the start; the first selection's text shows until the
    // second selection replaces it.
    EXPECT_EQ(i < 5 ? "" : "sak:18    不识别", screen.GetText(IDC_CARD_TYPE));
    EXPECT_TRUE(fake.CallsOf("dc_beep").empty());
  }
}

TEST_F(FindCard, FailedResetKeepsTheEarlierIdentification) {
  dlg.m_strAtqa = "0008";
  dlg.m_strCsn = "086B2F14";
  dlg.m_strSak = "20";
  dlg.m_strAts = "0578807002";
  dlg.m_strCardType = "纯CPU卡";
  ShowFields();
  reader.Fail("dc_reset");
  dlg.OnFindCard();
  EXPECT_EQ("dc_reset卡片复位失败", ui.GetText(IDC_STATUS));
  EXPECT_EQ("", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("0008", ui.GetText(IDC_ATQA));
  EXPECT_EQ("086B2F14", ui.GetText(IDC_CSN));
  EXPECT_EQ("20", ui.GetText(IDC_SAK));
  EXPECT_EQ("0578807002", ui.GetText(IDC_ATS));
}

TEST_F(FindCard, UnrecognisedSakFormatsDifferAfterEachSelection) {
  reader.sak = 0x18;
  reader.Fail("dc_pro_resethex", 1);
  dlg.OnFindCard();
  EXPECT_EQ("sak:18    不识别", ui.GetText(IDC_CARD_TYPE));
  dlg.OnFindCard();  // now the activation answers
  EXPECT_EQ("sak:18不识别", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("获取SAK成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ("18", ui.GetText(IDC_SAK));
  reader.sak = 0x88;
  dlg.OnFindCard();
  EXPECT_EQ("sak:88不识别", ui.GetText(IDC_CARD_TYPE));
  reader.sak = 0xCA;
  dlg.OnFindCard();
  EXPECT_EQ("sak:ca不识别", ui.GetText(IDC_CARD_TYPE));
  // The SAK field shows the byte's two digits in the conversion's case.
  EXPECT_EQ("CA", ui.GetText(IDC_SAK));
}

TEST_F(FindCard, AtqaIsFourDigitDecimalOfTheLowSixteenBits) {
  reader.tagType = 0xABCD0044;
  dlg.OnFindCard();
  EXPECT_EQ("0068", ui.GetText(IDC_ATQA));
  reader.tagType = 0x1234;
  dlg.OnFindCard();
  EXPECT_EQ("4660", ui.GetText(IDC_ATQA));
}

TEST_F(FindCard, CsnShowsTheSerialBytesLowestFirst) {
  reader.serial = 0x12345678;
  dlg.OnFindCard();
  EXPECT_EQ("78563412", ui.GetText(IDC_CSN));
  EXPECT_EQ("dc_select(7,305419896)", reader.CallsOf("dc_select").at(0));
}

TEST_F(FindCard, ShownIdentificationIsThatOfTheReactivation) {
  // The card answers the second request, anticollision and select
  // differently, as another card moved into the field would.
  int resets = 0;
  reader.failIf = [&](const std::string& call) {
    if (call.rfind("dc_reset(", 0) == 0 && ++resets == 2) {
      reader.tagType = 0x0044;
      reader.serial = 0x01020304;
      reader.sak = 0x20;
    }
    return false;
  };
  dlg.OnFindCard();
  EXPECT_EQ("0068", ui.GetText(IDC_ATQA));
  EXPECT_EQ("04030201", ui.GetText(IDC_CSN));
  EXPECT_EQ("20", ui.GetText(IDC_SAK));
  EXPECT_EQ("纯CPU卡", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("dc_select(7,16909060)", reader.CallsOf("dc_select").at(1));
}

TEST_F(FindCard, LongestAtsArrivesWhole) {
  std::string longest;
  for (int i = 0; i < 254; ++i) longest += "A5";
  reader.ats = longest;
  dlg.OnFindCard();
  EXPECT_EQ(longest, ui.GetText(IDC_ATS));
  EXPECT_EQ("获取SAK成功", ui.GetText(IDC_STATUS));
}
