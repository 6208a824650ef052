// The dictionary read against the recording fake, on cards whose sectors
// have keys of their own.
#include <algorithm>
#include <cstdio>

#include "cardtest/dictionary_read.h"
#include "cardtest/read_out.h"
#include "operation_fixture.h"

namespace {

std::string Load(int mode, int sector, const std::string& key) {
  return "dc_load_key(7," + std::to_string(mode) + "," + std::to_string(sector) + "," + key + ")";
}
std::string Auth(int mode, int sector) {
  return "dc_authentication(7," + std::to_string(mode) + "," + std::to_string(sector) + ")";
}
std::string Read(int block) { return "dc_read_hex(7," + std::to_string(block) + ")"; }
const std::vector<std::string> kWake = {"dc_request(7,1)", "dc_anticoll(7,0)", "dc_select(7,2440977466)"};

const std::string kFF = "FFFFFFFFFFFF";
const std::string kA0 = "A0A1A2A3A4A5";
const std::string kB0 = "B0B1B2B3B4B5";
const Key kTyped = 0xFFFFFFFFFFFF;  // the form's default key
const std::string kUid = "3A5C7E91";

class DictionaryOperation : public OperationTest {
 protected:
  // Every trailer in the transport configuration, key B readable with key A.
  void TransportTrailers(const std::string& keyB) {
    for (int s = 0; s < 16; ++s) reader.blocks[s * 4 + 3] = "000000000000FF078069" + keyB;
  }
  // Sector by sector: key A FFFFFFFFFFFF, but A0A1A2A3A4A5 in sector 5 and
  // one in no list in sector 9; key B B0B1B2B3B4B5, readable with key A
  // only in sector 0.
  void MixedCard() {
    for (int s = 0; s < 16; ++s) {
      reader.keysA[s] = kFF;
      reader.keysB[s] = kB0;
      reader.blocks[s * 4 + 3] = "0000000000007F078869000000000000";
    }
    reader.keysA[5] = kA0;
    reader.keysA[9] = "123456123456";
    reader.blocks[3] = "000000000000FF078069" + kB0;
  }
  // The built-in keys after the typed one, as the menu's command runs it.
  void Run(const std::vector<Key>& keys = KeyList(&kTyped, BuiltInKeys())) {
    progress.Clear();
    DictionaryRead(link, progress, keys).Run(kUid, CardSize::k1K, image);
  }
  std::vector<std::string> LoadsOf(int mode, int sector) const {
    std::vector<std::string> keys;
    const std::string prefix = "dc_load_key(7," + std::to_string(mode) + "," + std::to_string(sector) + ",";
    for (const std::string& call : reader.CallsOf("dc_load_key"))
      if (call.rfind(prefix, 0) == 0) keys.push_back(call.substr(prefix.size(), 12));
    return keys;
  }
  std::string Write(int sector, int block) {
    char data[33] = "00000000000000000000000000000000";
    BlockWrite(link, progress).Run(sector, block, kKeyModeA, data);
    return progress.writeLines.empty() ? "" : progress.writeLines.back();
  }
  CardImage image;
};

}  // namespace

TEST_F(DictionaryOperation, FoundKeysComeFirstEachKeyIsSearchedUntilFoundAndTheTrailerGivesKeyB) {
  MixedCard();
  FindTheCard();
  Run();

  // Sector 0: the typed key opens it; key B comes from the trailer.
  // Sector 1: key B is searched among the keys found so far, first FF (refused,
  // so the card is woken once), then B0 from sector 0's trailer.
  std::vector<std::string> expected = {Load(0, 0, kFF), Auth(0, 0), Read(0), Read(1), Read(2), Read(3),
                                       Load(0, 1, kFF), Auth(0, 1), Read(4), Read(5), Read(6), Read(7),
                                       Load(4, 1, kFF), Auth(4, 1)};
  expected.insert(expected.end(), kWake.begin(), kWake.end());
  expected.insert(expected.end(), {Load(4, 1, kB0), Auth(4, 1)});
  std::vector<std::string> calls = reader.Calls();
  ASSERT_GT(calls.size(), expected.size());
  EXPECT_EQ(expected, std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())));
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_TRUE(LoadsOf(4, 0).empty()) << "key B of sector 0 was in its trailer";

  // Sector 5: the card's keys first, then the list without them.
  EXPECT_EQ((std::vector<std::string>{kFF, kB0, kA0}), LoadsOf(0, 5));
  // Sector 9: every key once, then key B at the second try.
  std::vector<std::string> tried = LoadsOf(0, 9);
  EXPECT_EQ(13u, tried.size());
  std::sort(tried.begin(), tried.end());
  EXPECT_EQ(tried.end(), std::adjacent_find(tried.begin(), tried.end())) << "a key tried twice";
  EXPECT_EQ((std::vector<std::string>{kFF, kB0}), LoadsOf(4, 9));

  // One try is one load and one authentication; the card is woken after each
  // refusal and at no other time: 30 keys were found by trying.
  const size_t tries = reader.CallsOf("dc_load_key").size();
  EXPECT_EQ(tries, reader.CallsOf("dc_authentication").size());
  EXPECT_EQ(tries - 30, reader.CallsOf("dc_select").size());

  const std::vector<std::string> lines = progress.ReadTexts();
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:密钥A[FFFFFFFFFFFF] 密钥B[B0B1B2B3B4B5]", lines[0]);
  EXPECT_EQ("块[0]:" + FakeReader::BlockText(0), lines[1]);
  EXPECT_EQ("扇区[05]:密钥A[A0A1A2A3A4A5] 密钥B[B0B1B2B3B4B5]", lines[25]);
  EXPECT_EQ("扇区[09]:密钥A[未找到] 密钥B[B0B1B2B3B4B5]", lines[45]);
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(38), lines[48]);
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", progress.status.back());
  // The last line, which the window selects, is sector 15's trailer.
  EXPECT_EQ(15, progress.readLines.back().sector);
  EXPECT_EQ(3, progress.readLines.back().block);

  // Each sector is then written with the key found for it, until a key load.
  Mark();
  EXPECT_EQ("扇区[09],块[1]:写卡成功  00000000000000000000000000000000", Write(9, 1));
  Write(5, 1);
  EXPECT_EQ((std::vector<std::string>{Auth(4, 9), "dc_write_hex(7,37,00000000000000000000000000000000)", Auth(0, 5),
                                      "dc_write_hex(7,21,00000000000000000000000000000000)"}),
            reader.Calls());
  uint8_t ff[6];
  KeyBytes(kTyped, ff);
  KeyLoad(link, progress).Run(kKeyModeA, ff);
  Mark();
  Write(9, 1);
  EXPECT_EQ(Auth(0, 9), reader.Calls().at(0));
}

TEST_F(DictionaryOperation, AllDefaultCardCostsNoMoreCallsThanAKeyLoadAndARead) {
  TransportTrailers(kFF);
  FindTheCard();
  uint8_t ff[6];
  KeyBytes(kTyped, ff);
  KeyLoad(link, progress).Run(kKeyModeA, ff);
  ReadOut(link, progress, kKeyModeA).Run(kUid, image);
  const size_t plain = reader.Calls().size() - 1;  // without the key load's beep
  Mark();
  Run();
  EXPECT_EQ(plain, reader.Calls().size());
  EXPECT_TRUE(reader.CallsOf("dc_request").empty());
  EXPECT_EQ("扇区[15]:密钥A[FFFFFFFFFFFF] 密钥B[FFFFFFFFFFFF]", progress.readLines.at(75).text);
}

TEST_F(DictionaryOperation, CancelStopsBeforeTheNextCallAndKeepsWhatWasFound) {
  MixedCard();
  FindTheCard();
  size_t callsAtCancel = 0;
  progress.cancelWhen = [&] {
    if (callsAtCancel == 0 && reader.CallsOf("dc_read_hex").size() == 6) callsAtCancel = reader.Calls().size();
    return callsAtCancel != 0;
  };
  Run();
  EXPECT_EQ(callsAtCancel, reader.Calls().size());
  std::vector<std::string> lines = progress.ReadTexts();
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ("扇区[01]:密钥A[FFFFFFFFFFFF] 密钥B[未找到]", lines[5]);
  EXPECT_EQ("块[1]:" + FakeReader::BlockText(5), lines[7]);
  EXPECT_EQ("字典读取已取消：2/16 个扇区已读取", progress.status.back());

  // The next read starts afresh; a block the card refuses costs that block
  // alone: the card is woken and the sector opened again for the next.
  progress.cancelWhen = nullptr;
  reader.Fail(Read(5), 1);
  Run();
  lines = progress.ReadTexts();
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", progress.status.back());
  EXPECT_EQ("读扇区[01]第[1]块失败！", lines.at(7));
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(6), lines.at(8));
}

TEST_F(DictionaryOperation, HundredThousandKeyFileFindsTheLastKey) {
  std::string text;
  char key[16];
  for (uint64_t k = 1; k <= 100000; ++k) {
    std::snprintf(key, sizeof key, "%012llX\n", static_cast<unsigned long long>(k * 0x10001));
    text += key;
  }
  const std::string last(key, 12);
  for (int s = 0; s < 16; ++s) reader.keysA[s] = last;
  TransportTrailers(last);
  FindTheCard();
  std::vector<Key> keys;
  int badLine = 0;
  ASSERT_TRUE(ParseKeyFile(text, &keys, &badLine)) << badLine;
  Run(KeyList(nullptr, keys));
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", progress.status.back());
  EXPECT_EQ(100000u, LoadsOf(0, 0).size());
  EXPECT_EQ(std::vector<std::string>{last}, LoadsOf(0, 15));
}
