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
