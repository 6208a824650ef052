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
      {"FFFFFFFFFFFF\rA0A1A2A3A4A5\r\n", kKeyFileCrLineEnds},  // a CR alone ends a line
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

TEST(KeyFile, SavedKeysReadBackOncePerKeyAfterTheUidComment) {
  const std::string saved = KeyFileText({0xA0A1A2A3A4A5, 0xFFFFFFFFFFFF, 0xA0A1A2A3A4A5}, "3A5C7E91");
  EXPECT_EQ(0u, saved.find("#")) << saved;
  EXPECT_NE(std::string::npos, saved.find("3A5C7E91"));
  std::vector<Key> keys;
  int bad = 0;
  ASSERT_TRUE(ParseKeyFile(saved, &keys, &bad));
  EXPECT_EQ((std::vector<Key>{0xA0A1A2A3A4A5, 0xFFFFFFFFFFFF}), keys);
}
