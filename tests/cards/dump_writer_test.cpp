// Dumps as written; that they load back is the virtual reader scenarios'.
#include <gtest/gtest.h>

#include "cards/dump_writer.h"

namespace {

CardImage FullImage() {
  CardImage image;
  for (int a = 0; a < image.Blocks(); ++a) {
    image.read[a] = true;
    image.blocks[a].fill(static_cast<uint8_t>(a));
  }
  for (int s = 0; s < image.Sectors(); ++s) {
    image.keyA[s] = 0xA0A1A2A3A4A5;
    image.keyB[s] = 0xB0B1B2B3B4B5;
    image.keyAKnown[s] = image.keyBKnown[s] = true;
  }
  return image;
}

}  // namespace

TEST(DumpWriter, KeysGoIntoTheTrailersAndUnknownsAreDashesOrRefused) {
  CardImage image = FullImage();
  std::string raw, eml, mct, problem;
  ASSERT_TRUE(RenderCardDump(image, DumpKind::Raw, &raw, &problem));
  ASSERT_EQ(1024u, raw.size());
  // Block 7, sector 1's trailer: the keys over what the card showed.
  EXPECT_EQ(std::string("\xA0\xA1\xA2\xA3\xA4\xA5\x07\x07\x07\x07\xB0\xB1\xB2\xB3\xB4\xB5"), raw.substr(7 * 16, 16));
  EXPECT_EQ(std::string(16, '\x06'), raw.substr(6 * 16, 16));
  ASSERT_TRUE(RenderCardDump(image, DumpKind::Eml, &eml, &problem));
  EXPECT_EQ(64 * 33u, eml.size());
  EXPECT_EQ("A0A1A2A3A4A507070707B0B1B2B3B4B5\n", eml.substr(7 * 33, 33));

  image.keyBKnown[2] = false;
  image.read[9 * 4 + 1] = false;
  image.read[12 * 4 + 3] = false;
  for (DumpKind kind : {DumpKind::Raw, DumpKind::Eml}) {
    std::string out = "untouched";
    EXPECT_FALSE(RenderCardDump(image, kind, &out, &problem));
    EXPECT_EQ("untouched", out);
    EXPECT_NE(std::string::npos, problem.find("02、09、12")) << problem;
    EXPECT_NE(std::string::npos, problem.find("MCT")) << problem;
  }
  ASSERT_TRUE(RenderCardDump(image, DumpKind::Mct, &mct, &problem));
  EXPECT_EQ(0u, mct.find("+Sector: 0\n")) << mct;
  EXPECT_NE(std::string::npos, mct.find("A0A1A2A3A4A50B0B0B0B------------\n")) << "sector 2's unknown key B";
  EXPECT_NE(std::string::npos, mct.find("\n" + std::string(32, '-') + "\n+Sector: 13")) << "sector 12's trailer";
  EXPECT_NE(std::string::npos, mct.find("+Sector: 9\n24242424242424242424242424242424\n" + std::string(32, '-')))
      << "block 37";
}
