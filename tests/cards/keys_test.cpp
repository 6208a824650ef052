// Key lists and key files.
#include <gtest/gtest.h>

#include "cards/keys.h"

TEST(KeyFile, TakesTheCommonFormatAndRefusesAnyOtherLineByNumber) {
  std::vector<Key> keys;
  int bad = -1;
  const std::string good =
      "\xEF\xBB\xBF# keys from the depot\n"
      "FFFFFFFFFFFF\n"
      "\n"
      "   a0a1a2a3a4a5 canteen\r\n"
      "\tD3F7D3F7D3F7#office\n"
      "FFFFFFFFFFFF";  // no line end at the end of the file
  ASSERT_TRUE(ParseKeyFile(good, &keys, &bad));
  EXPECT_EQ((std::vector<Key>{0xFFFFFFFFFFFF, 0xA0A1A2A3A4A5, 0xD3F7D3F7D3F7, 0xFFFFFFFFFFFF}), keys);

  struct Case {
    const char* text;
    int line;
  } refused[] = {
      {"FFFFFFFFFFFF\nFFFFFFFFFFF\n", 2},          // 11 digits
      {"FFFFFFFFFFFF\n\nFFFFFFFFFFFFF\n", 3},     // 13 digits
      {"0xFFFFFFFFFFFF\n", 1},                    // a prefix
      {"FFFFFF FFFFFF\n", 1},                     // split in two
      {"FFFFFFFFFFFG\n", 1},                      // not hex
      {"# only comments\n\n  \n", 0},             // no key at all
      {"", 0},                                    // empty
  };
  for (const Case& c : refused) {
    keys = {1};
    EXPECT_FALSE(ParseKeyFile(c.text, &keys, &bad)) << c.text;
    EXPECT_EQ(c.line, bad) << c.text;
    EXPECT_EQ(std::vector<Key>{1}, keys) << "a refused file changes nothing";
  }
}

TEST(KeyFile, HundredThousandKeysParseAndSaveBackOncePerKey) {
  std::string text;
  for (Key k = 0; k < 100000; ++k) text += KeyHex(k * 0x9E3779B1ull) + "\n";
  std::vector<Key> keys;
  int bad = 0;
  ASSERT_TRUE(ParseKeyFile(text, &keys, &bad));
  ASSERT_EQ(100000u, keys.size());
  EXPECT_EQ(99999 * 0x9E3779B1ull & 0xFFFFFFFFFFFF, keys.back());

  // Saved keys read back as the same set, each once, after the UID comment.
  const std::string saved = KeyFileText({0xA0A1A2A3A4A5, 0xFFFFFFFFFFFF, 0xA0A1A2A3A4A5}, "3A5C7E91");
  EXPECT_EQ(0u, saved.find("#")) << saved;
  EXPECT_NE(std::string::npos, saved.find("3A5C7E91"));
  ASSERT_TRUE(ParseKeyFile(saved, &keys, &bad));
  EXPECT_EQ((std::vector<Key>{0xA0A1A2A3A4A5, 0xFFFFFFFFFFFF}), keys);
}

TEST(KeyList, TypedKeyFirstThenTheListEachKeyOnce) {
  const Key typed = 0xB0B1B2B3B4B5;  // also in the built-in list
  const std::vector<Key> list = KeyList(&typed, BuiltInKeys());
  ASSERT_EQ(BuiltInKeys().size(), list.size());
  EXPECT_EQ(typed, list[0]);
  EXPECT_EQ(0xFFFFFFFFFFFFull, list[1]);
  EXPECT_EQ(0x8FD0A4F256E9ull, list.back());
  EXPECT_EQ(BuiltInKeys(), KeyList(nullptr, BuiltInKeys()));

  Key parsed = 0;
  EXPECT_TRUE(ParseKey("a0A1a2A3a4A5", &parsed));
  EXPECT_EQ("A0A1A2A3A4A5", KeyHex(parsed));
  EXPECT_FALSE(ParseKey("A0A1A2A3A4A", &parsed));
  EXPECT_FALSE(ParseKey("A0A1A2A3A4A5 ", &parsed));
}
