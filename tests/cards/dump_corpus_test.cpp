// The dump corpus through the program's reading of it: each file taken with
// the blocks it holds, or refused with its reason and the image untouched.
#include <gtest/gtest.h>

#include "cards/dump_reader.h"
#include "cards/dump_writer.h"
#include "cards/hex.h"
#include "tests/cards/dump_corpus.h"

namespace {

// A block as the program holds it, in the dump's own notation.
std::string Shown(const CardImage& image, int block) {
  if (!image.read[block]) return std::string(32, '-');
  const std::string text = HexText(image.blocks[block].data(), 16);
  if (!image.layout.IsTrailer(block)) return text;
  const int sector = image.layout.SectorOf(block);
  return (image.keyAKnown[sector] ? text.substr(0, 12) : std::string(12, '-')) + text.substr(12, 8) +
         (image.keyBKnown[sector] ? text.substr(20) : std::string(12, '-'));
}

}  // namespace

TEST(DumpCorpus, TheProgramTakesEachDumpItCanWriteAndNamesWhatIsWrongWithTheOthers) {
  for (const dump_corpus::Case& c : dump_corpus::Cases()) {
    SCOPED_TRACE(c.name);
    CardImage image;
    image.uid = "untouched";
    std::string problem;
    const bool taken = ParseCardDump(c.content, &image, &problem);
    if (c.program) {
      EXPECT_FALSE(taken);
      EXPECT_EQ(c.program, problem);
      EXPECT_TRUE(image.uid == "untouched" && !image.read[0]);
      continue;
    }
    ASSERT_TRUE(taken) << problem;
    for (const auto& block : c.blocks) EXPECT_EQ(block.second, Shown(image, block.first)) << "block " << block.first;
    if (c.saved.empty()) continue;
    const DumpKind kind = c.saved == "raw" ? DumpKind::Raw : c.saved == "mct" ? DumpKind::Mct : DumpKind::Eml;
    std::string rendered;
    ASSERT_TRUE(RenderCardDump(image, kind, &rendered, &problem)) << problem;
    EXPECT_EQ(c.content, rendered);
  }
}
