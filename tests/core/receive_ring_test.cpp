// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/receive_ring.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tarn {
namespace {

class RingTest : public ::testing::Test {
 protected:
  RingTest() : ring_(kRingRecords) { ResetRing(ring_.data(), cur_); }

  bool Feed(const std::string& bytes) {
    return ReceiveBytes(ring_.data(), cur_, reinterpret_cast<const unsigned char*>(bytes.data()),
                        bytes.size());
  }
  // Every record waiting, one string each.
  std::vector<std::string> TakeAll() {
    std::vector<std::string> out;
    std::string s;
    while (TakeRecord(ring_.data(), cur_, s)) {
      out.push_back(s);
      s.clear();
    }
    return out;
  }

  std::vector<_com_buff_> ring_;
  RingCursor cur_;
};

TEST_F(RingTest, FramesLinesDropsCarriageReturnsAndTurnsTabsIntoSpaces) {
  EXPECT_TRUE(Feed(std::string("AB\r\nC\tD\n")));
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{"AB\n", "C D\n"}));
  EXPECT_EQ(cur_.RecvPtr, 0);
  EXPECT_EQ(cur_.pWrite, 2);

  // Bytes above 127 are kept as they are (Windows-1252 text).
  EXPECT_TRUE(Feed("\xB5m \xE9t\xE9\n"));
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{"\xB5m \xE9t\xE9\n"}));

  // A NUL byte is text like any other: nothing after it is lost.
  EXPECT_TRUE(Feed(std::string("NUL AB\0CD\n", 10) + "END\n"));
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{std::string("NUL AB\0CD\n", 10), "END\n"}));

  // A burst of carriage returns only begins no line.
  EXPECT_FALSE(Feed("\r\r"));
  EXPECT_TRUE(TakeAll().empty());
}

TEST_F(RingTest, PieceOfALineIsShownAtOnceAndTheRestContinuesIt) {
  EXPECT_FALSE(Feed("12 01/02/2020"));  // no line feed yet: the pane stays saved
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{"12 01/02/2020"}));
  EXPECT_TRUE(Feed(" 10:20:30 1.25\r\n"));
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{" 10:20:30 1.25\n"}));
}

TEST_F(RingTest, LongLinesSplitOverRecordsOfNinetyNineBytes) {
  const std::string line(250, 'x');
  EXPECT_TRUE(Feed(line + "\n"));
  const auto recs = TakeAll();
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0].size(), 99u);
  EXPECT_EQ(recs[1].size(), 99u);
  EXPECT_EQ(recs[0] + recs[1] + recs[2], line + "\n");

  // 99 bytes fill a record; the line feed then goes alone into the next one.
  EXPECT_TRUE(Feed(std::string(99, 'y') + "\n"));
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{std::string(99, 'y'), "\n"}));
  // A carriage return takes no room.
  EXPECT_TRUE(Feed(std::string(98, 'z') + "\r\n"));
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{std::string(98, 'z') + "\n"}));
}

TEST_F(RingTest, WrapsAroundTheRingInOrder) {
  const int lines = kRingRecords + 10;
  for (int i = 0; i < lines; ++i) {
    Feed(std::to_string(i) + "\n");
    std::string s;
    ASSERT_TRUE(TakeRecord(ring_.data(), cur_, s));
    ASSERT_EQ(s, std::to_string(i) + "\n");
  }
  EXPECT_EQ(cur_.pWrite, 10);
  EXPECT_EQ(cur_.pRead, 10);

  Feed("a\nb\n");
  ResetRing(ring_.data(), cur_);
  EXPECT_TRUE(TakeAll().empty());
  EXPECT_EQ(cur_.pWrite, 0);
}

TEST_F(RingTest, RoomNeverLetsTheWriterOverwriteAnUnshownRecord) {
  EXPECT_EQ(RingByteRoom(ring_.data(), cur_), static_cast<std::size_t>(kRingRecords - 2));
  // Worst case: every byte closes a record. Fill to the room and the ring is full, not lapped.
  EXPECT_TRUE(Feed(std::string(RingByteRoom(ring_.data(), cur_), '\n')));
  EXPECT_EQ(RingByteRoom(ring_.data(), cur_), 0u);
  EXPECT_EQ(TakeAll().size(), static_cast<std::size_t>(kRingRecords - 2));

  // Random bursts within the room, taken at random: the text comes out whole and in order.
  std::mt19937 rng(7);
  std::string sent, shown, s;
  for (int round = 0; round < 3000; ++round) {
    std::size_t n = std::min<std::size_t>(rng() % 400, RingByteRoom(ring_.data(), cur_));
    std::string burst;
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned r = rng() % 50;
      burst += r == 0 ? '\n' : static_cast<char>('a' + r % 26);
    }
    Feed(burst);
    sent += burst;
    for (unsigned k = rng() % 3; k > 0 && TakeRecord(ring_.data(), cur_, s);) --k;
  }
  while (TakeRecord(ring_.data(), cur_, s)) {
  }
  EXPECT_EQ(s, sent);
}

}  // namespace
}  // namespace tarn
