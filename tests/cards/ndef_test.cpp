// NDEF TLVs and records from an NFC-formatted card's data blocks: the
// published examples, and malformed areas named by their byte offset.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <string>
#include <vector>

#include "cards/hex.h"
#include "cards/ndef.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Hex digits (blanks ignored) and quoted ASCII text, in any order.
Bytes Area(const std::string& text) {
  Bytes out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '"') {
      const size_t end = text.find('"', i + 1);
      out.insert(out.end(), text.begin() + static_cast<long>(i) + 1, text.begin() + static_cast<long>(end));
      i = end + 1;
    } else if (text[i] == ' ') {
      ++i;
    } else {
      out.push_back(static_cast<uint8_t>(HexDigitValue(text[i]) << 4 | HexDigitValue(text[i + 1])));
      i += 2;
    }
  }
  return out;
}

std::vector<std::string> Lines(const Bytes& area, const std::string& unread = "") {
  return NdefLines(area.data(), area.size(), unread);
}

std::string Last(const Bytes& area, const std::string& unread = "") { return Lines(area, unread).back(); }

}  // namespace

TEST(Ndef, ThePublishedUriExampleAndTwoRecordsWithLongLengthsAndNullPadding) {
  EXPECT_EQ((std::vector<std::string>{"NDEF 消息 TLV（偏移 0，长度 17）",
                                      "记录 1（偏移 2）：MB ME SR，TNF 1（知名类型），类型 \"U\"，负载 13 字节",
                                      "URI：http://www.adafruit.com", "终止 TLV（偏移 19）"}),
            Lines(Area("03 11 D1 01 0D 55 01 \"adafruit.com\" FE")));
  // NULL TLVs first, a proprietary TLV skipped, a three-byte TLV length,
  // a record with a four-byte payload length and an ID.
  const Bytes area = Area(
      "00 00 FD 02 AB CD 03 FF 00 21"
      " 82 0A 00 00 00 03 \"text/plain\" \"abc\""
      " 59 01 07 02 54 \"id\" 82 \"zh\" 4F 60 59 7D"
      " FE");
  const std::vector<std::string> lines = Lines(area);
  ASSERT_EQ(6u, lines.size()) << lines.back();
  EXPECT_EQ("专有 TLV（偏移 2，长度 2），不解读", lines[0]);
  EXPECT_EQ("NDEF 消息 TLV（偏移 6，长度 33）", lines[1]);
  EXPECT_EQ("记录 1（偏移 10）：MB，TNF 2（媒体类型），类型 \"text/plain\"，负载 3 字节", lines[2]);
  EXPECT_EQ("记录 2（偏移 29）：ME SR IL，TNF 1（知名类型），类型 \"T\"，负载 7 字节", lines[3]);
  EXPECT_EQ("文本（zh）：你好", lines[4]);  // UTF-16, big-endian
  EXPECT_EQ("终止 TLV（偏移 43）", lines[5]);
  EXPECT_EQ("NFC 扇区已到末尾，没有终止 TLV", Last(Area("03 00")));
  EXPECT_EQ("空的 NDEF 消息", Lines(Area("03 00 FE"))[1]);
}

TEST(Ndef, UriPrefixesAndTextThatCouldBreakTheWindow) {
  // No prefix, the last one defined, and the first code past them.
  for (const auto& [code, shown] : {std::pair{"00", "URI：x"}, {"23", "URI：urn:nfc:x"},
                                    {"24", "URI：（未定义的前缀代码 0x24）x"}})
    EXPECT_EQ(shown, Lines(Area("03 06 D1 01 02 55 " + std::string(code) + " \"x\" FE"))[2]);
  // A line break, a byte that is no UTF-8 and an overlong '/' stay visible
  // as bytes; Chinese text passes.
  const Bytes odd = Area("61 0A 62 FF C0 AF E4 B8 AD");
  EXPECT_EQ("a\\x0Ab\\xFF\\xC0\\xAF中", PrintableText(odd.data(), odd.size()));
}

TEST(Ndef, MalformedAreasAreNamedByByteOffset) {
  struct Case {
    const char* area;
    const char* unread;
    const char* last;
  } cases[] = {
      {"03 20 D1", "", "偏移 0：TLV 0x03（长度 32）超出 NFC 扇区的末尾"},
      {"03 20 D1", "扇区[02] 块[0]", "偏移 0：TLV 0x03（长度 32）进入没有读出的扇区[02] 块[0]（偏移 3 起）"},
      {"00 00 00", "扇区[02] 块[0]", "偏移 3：此后是没有读出的扇区[02] 块[0]，NDEF 区没有读完"},
      {"03 FF 00", "", "偏移 0：TLV 0x03 的长度超出 NFC 扇区的末尾"},
      {"03 FF FF FF", "", "偏移 0：TLV 0x03 的长度 0xFFFF 是保留值"},
      {"00 42 01 00", "", "偏移 1：未知的 TLV 类型 0x42"},
      {"03 05 D1 01 10 55 04 FE", "", "偏移 2：记录 1 的类型、ID 和负载共 17 字节，超出 NDEF 消息的末尾（还剩 2 字节）"},
      {"03 08 C1 01 FF FF FF FF 55 00 FE", "", "偏移 2：记录 1 的类型、ID 和负载共 4294967296 字节，超出 NDEF 消息的末尾（还剩 2 字节）"},
      {"03 02 C1 01 FE", "", "偏移 2：记录 1 的头部超出 NDEF 消息的末尾"},
      {"03 05 51 01 01 55 00 FE", "", "偏移 2：记录 1 没有 MB 标志"},
      {"03 0A 91 01 01 55 00 D1 01 01 55 00 FE", "", "偏移 7：记录 2 有 MB 标志，但它不是第一个记录"},
      {"03 05 91 01 01 55 00 FE", "", "偏移 7：最后一个记录没有 ME 标志"},
      {"03 06 D1 01 01 55 00 00 FE", "", "偏移 7：ME 记录之后还有 1 字节"},
      {"03 04 D0 01 00 55 FE", "", "偏移 2：记录 1 的 TNF 为 0（空），却有类型、ID 或负载"},
      {"03 04 D1 01 00 55 FE", "", "偏移 2：URI 记录没有负载"},
      {"03 06 D1 01 02 54 05 \"e\" FE", "", "偏移 2：文本记录的语言代码长度 5 超出负载"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.last, Last(Area(c.area), c.unread)) << c.area << " " << c.unread;
}

TEST(Ndef, AnyBytesDecodeWithoutReadingPastThem) {
  const Bytes sample = Area("03 11 D1 01 0D 55 01 \"adafruit.com\" FE");
  // Every byte of a good area set to every value, then random areas: each
  // must end in a line, read inside its bytes (the sanitizers watch that).
  for (size_t at = 0; at < sample.size(); ++at) {
    for (int value = 0; value < 256; ++value) {
      Bytes area = sample;
      area[at] = static_cast<uint8_t>(value);
      EXPECT_FALSE(Lines(area).empty());
    }
  }
  std::mt19937 random(23);
  for (int round = 0; round < 2000; ++round) {
    Bytes area(random() % 200);
    for (uint8_t& byte : area) byte = static_cast<uint8_t>(random() % 4 == 0 ? 0x03 : random());
    EXPECT_FALSE(Lines(area, round % 2 ? "扇区[03] 块[0]" : "").empty());
  }
}
