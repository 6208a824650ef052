// No key reaches the trace: LOAD KEYS, and trailers read or written.
#include <gtest/gtest.h>

#include "pcsc/identity.h"
#include "pcsc/trace.h"

using pcsc::Bytes;
using pcsc::Trace;

TEST(TraceMasking, LoadKeysShowsItsHeaderOnly) {
  const Bytes command = {0xFF, 0x82, 0x00, 0x00, 0x06, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  EXPECT_EQ("FF82000006************", Trace::ShownCommand(command.data(), command.size()));
}

TEST(TraceMasking, TrailerWriteAndReadShowAccessBytesOnly) {
  Bytes update = {0xFF, 0xD6, 0x00, 0x07, 0x10};
  const Bytes trailer = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xFF, 0x07, 0x80, 0x69,
                         0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5};
  update.insert(update.end(), trailer.begin(), trailer.end());
  EXPECT_EQ("FFD6000710************FF078069************",
            Trace::ShownCommand(update.data(), update.size()));

  const Bytes read = {0xFF, 0xB0, 0x00, 0x07, 0x10};
  Bytes answer = trailer;
  answer.push_back(0x90);
  answer.push_back(0x00);
  EXPECT_EQ("************FF078069************9000",
            Trace::ShownAnswer(read.data(), read.size(), answer.data(), answer.size()));
  EXPECT_EQ("************FF078069************",
            Trace::ShownBlockText(7, "A0A1A2A3A4A5FF078069B0B1B2B3B4B5"));
}

TEST(TraceMasking, DataBlocksAndOtherApdusShowInFull) {
  const Bytes read = {0xFF, 0xB0, 0x00, 0x06, 0x10};
  const Bytes answer = {0x01, 0x02, 0x90, 0x00};
  EXPECT_EQ("FFB0000610", Trace::ShownCommand(read.data(), read.size()));
  EXPECT_EQ("01029000", Trace::ShownAnswer(read.data(), read.size(), answer.data(), answer.size()));
  EXPECT_EQ("A0A1A2A3A4A5FF078069B0B1B2B3B4B5",
            Trace::ShownBlockText(6, "A0A1A2A3A4A5FF078069B0B1B2B3B4B5"));
  // A trailer read the card refused carries no key to hide.
  const Bytes trailerRead = {0xFF, 0xB0, 0x00, 0x03, 0x10};
  const Bytes refused = {0x63, 0x00};
  EXPECT_EQ("6300", Trace::ShownAnswer(trailerRead.data(), trailerRead.size(), refused.data(),
                                       refused.size()));
}

// Whatever shape a trailer's data takes, and on a 4K card's big sectors
// too, no key digit gets through: a text that is not exactly 32 hex digits
// and an answer or command of an unexpected length are masked whole.
TEST(TraceMasking, MalformedTrailerDataAndFourKTrailersAreMaskedWhole) {
  const std::string keys = "A0A1A2A3A4A5FF078069B0B1B2B3B4B5";
  for (const std::string& text :
       {keys.substr(0, 31), "0x" + keys, std::string("A0 A1 A2 A3 A4 A5 FF 07 80 69 B0 B1 B2")}) {
    EXPECT_EQ(std::string(text.size(), '*'), Trace::ShownBlockText(7, text)) << text;
  }
  for (uint8_t block : {143, 159, 255})
    EXPECT_EQ("************FF078069************", Trace::ShownBlockText(block, keys)) << +block;
  EXPECT_EQ(keys, Trace::ShownBlockText(142, keys));

  const Bytes read = {0xFF, 0xB0, 0x00, 0x8F, 0x10};  // block 143
  const Bytes shortAnswer = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x90, 0x00};
  EXPECT_EQ(std::string(16, '*'), Trace::ShownAnswer(read.data(), read.size(), shortAnswer.data(),
                                                     shortAnswer.size()));
  Bytes oversized(8, 0x00);  // the keys shifted by eight bytes of noise
  oversized.insert(oversized.end(), {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xFF, 0x07, 0x80, 0x69,
                                     0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0x90, 0x00});
  EXPECT_EQ(std::string(52, '*'),
            Trace::ShownAnswer(read.data(), read.size(), oversized.data(), oversized.size()));

  const Bytes update = {0xFF, 0xD6, 0x00, 0xFF, 0x06, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  EXPECT_EQ("FFD600FF06************", Trace::ShownCommand(update.data(), update.size()));
}
