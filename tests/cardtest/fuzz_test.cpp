// Random command sequences on a reader whose every call may fail: nothing
// crashes, the lists keep their shape, and no block is written that the
// user did not name in a form that collected.
#include <random>

#include "card_test_fixture.h"
#include "cardtest/mifare.h"
#include "txtconv/txtconv.h"

namespace {

class RandomSequences : public CardTest {
 protected:
  std::mt19937 rng;

  int Roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  std::string RandomHex(int digits) {
    static const char kDigits[] = "0123456789ABCDEFabcdef";
    std::string out;
    for (int i = 0; i < digits; ++i) out += kDigits[Roll(22)];
    return out;
  }
  std::string Pick(std::initializer_list<std::string> choices) {
    auto it = choices.begin();
    std::advance(it, Roll(static_cast<int>(choices.size())));
    return *it;
  }

  void TypeSomething() {
    switch (Roll(4)) {
      case 0:
        ui.Type(IDC_WRITE_SECTOR, Pick({"0", "15", "16", "-1", "x", " 7 ", std::to_string(Roll(20))}));
        break;
      case 1:
        ui.Type(IDC_WRITE_BLOCK, Pick({"0", "3", "4", "", std::to_string(Roll(5))}));
        break;
      case 2:
        ui.Type(IDC_KEY, Pick({"FFFFFFFFFFFF", "A0A1A2", "FFFFFFFFFFFG", RandomHex(12)}));
        break;
      default:
        ui.Type(IDC_WRITE_DATA, Pick({std::string(32, '0'), RandomHex(32), "A0A1A2A3A4A5FF078069FFFFFFFFFFFF",
                                      RandomHex(31), RandomHex(30) + "zz"}));
        break;
    }
  }

  // What a collect of the controls as they stand would give, and whether it
  // succeeds (the form's own validation rules).
  struct Target {
    bool collects;
    int address;
    std::string data;
  };
  Target Expected() const {
    int block = 0, sector = 0;
    bool ok = dlg::TextLength(ui.GetText(IDC_KEY)) <= 12 && dlg::ParseInt(ui.GetText(IDC_WRITE_BLOCK), block) &&
              block >= 0 && block <= 3 && dlg::ParseInt(ui.GetText(IDC_WRITE_SECTOR), sector) && sector >= 0 &&
              sector <= 15 && dlg::TextLength(ui.GetText(IDC_WRITE_DATA)) <= 32;
    return {ok, sector * 4 + block, ui.GetText(IDC_WRITE_DATA)};
  }

  void CheckLists(const std::string& context) {
    SCOPED_TRACE(context);
    const auto& read = ui.ListOf(IDC_READ_LIST);
    int count = static_cast<int>(read.lines.size());
    // A user can take the selection away (the handler must then do
    // nothing), but it never points past the lines.
    EXPECT_GE(read.selected, -1);
    EXPECT_LT(read.selected, count);
    const auto& write = ui.ListOf(IDC_WRITE_LIST);
    EXPECT_LE(write.lines.size(), 2u);
    if (write.lines.size() == 2) {
      EXPECT_EQ(write.selected, write.lines[1].find("写卡成功") != std::string::npos ? 1 : 0);
    }
    if (write.lines.size() == 1) {
      EXPECT_EQ(0, write.selected);
    }
    EXPECT_TRUE(reader.PausedAfterEveryCall());
  }
};

}  // namespace

TEST_F(RandomSequences, KeepTheirInvariants) {
  for (unsigned seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    rng.seed(seed);
    const int failPercent = Roll(60);
    reader.failIf = [&](const std::string&) { return Roll(100) < failPercent; };
    for (int step = 0; step < 40; ++step) {
      reader.log.clear();
      const int command = Roll(9);
      const Target target = Expected();
      switch (command) {
        case 0:
          TypeSomething();
          break;
        case 1: {
          int lines = ui.ListCount(IDC_READ_LIST);
          ui.ListSetSel(IDC_READ_LIST, lines ? Roll(lines + 1) - 1 : -1);
          dlg.OnCommand(IDC_READ_LIST, dlg::kListSelChange);
          EXPECT_TRUE(reader.log.empty());
          break;
        }
        case 2:
          reader.initResult = Roll(3) - 1;
          dlg.OnCommand(IDC_OPEN_READER, dlg::kButtonClicked);
          break;
        case 3:
          reader.tagType = static_cast<uint32_t>(rng());
          reader.serial = static_cast<uint32_t>(rng());
          reader.sak = static_cast<uint8_t>(rng());
          dlg.OnCommand(IDC_FIND_CARD, dlg::kButtonClicked);
          EXPECT_LE(reader.Calls().size(), 11u);
          break;
        case 4:
        case 5:
          dlg.OnCommand(command == 4 ? IDC_LOAD_KEY_A : IDC_LOAD_KEY_B, dlg::kButtonClicked);
          if (!target.collects) {
            EXPECT_TRUE(reader.log.empty());
          }
          EXPECT_LE(reader.CallsOf("dc_load_key").size(), 16u);
          break;
        case 6: {
          dlg.OnCommand(IDC_READ_CARD, dlg::kButtonClicked);
          // One line per sector and four more per sector that authenticated,
          // unless the card went and the read-out stopped early.
          size_t sectors = 0, authenticated = 0;
          for (const std::string& line : ui.ListOf(IDC_READ_LIST).lines) {
            if (line.rfind("扇区[", 0) != 0) continue;
            ++sectors;
            if (line.find("成功") != std::string::npos) ++authenticated;
          }
          const size_t lines = static_cast<size_t>(ui.ListCount(IDC_READ_LIST));
          if (ui.GetText(IDC_STATUS) == "卡片已更换或已离开，请重新寻卡") {
            EXPECT_LE(lines, sectors + 4 * authenticated);
          } else {
            EXPECT_EQ(16u, sectors);
            EXPECT_EQ(16 + 4 * authenticated, lines);
          }
          EXPECT_EQ(ui.ListCount(IDC_READ_LIST) - 1, ui.ListOf(IDC_READ_LIST).selected);
          break;
        }
        default: {
          dlg.OnCommand(IDC_WRITE_CARD, dlg::kButtonClicked);
          auto writes = reader.CallsOf("dc_write_hex");
          if (!target.collects) {
            EXPECT_TRUE(reader.log.empty());
          }
          ASSERT_LE(writes.size(), 1u);
          if (!writes.empty()) {
            ASSERT_TRUE(target.collects);
            EXPECT_EQ("dc_write_hex(" + std::to_string(dlg.Session().handle()) + "," + std::to_string(target.address) + "," +
                          target.data + ")",
                      writes[0]);
            ASSERT_EQ(32u, target.data.size());
            uint8_t bytes[16];
            ASSERT_TRUE(HexToBytes(target.data.c_str(), bytes, 32));
            if (target.address % 4 == 3) {
              EXPECT_TRUE(TrailerAccessBitsValid(bytes));
            }
          }
          break;
        }
      }
      CheckLists("step " + std::to_string(step) + ", command " + std::to_string(command));
      if (HasFatalFailure()) return;
    }
  }
}
