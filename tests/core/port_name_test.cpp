// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/port_name.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PortName, DeviceNamesRoundTripThroughTheStoredNumber) {
  const struct {
    const char* name;
    int32_t number;
  } cases[] = {{"ttyS0", 1},       {"ttyS1", 2},      {"ttyS999", 1000}, {"ttyUSB0", 1001},
               {"ttyUSB11", 1012}, {"ttyACM0", 2001}, {"ttyAMA3", 3004}, {"rfcomm0", 4001},
               {"pts/0", 9001},    {"pts/42", 9043}};
  for (const auto& c : cases) {
    EXPECT_EQ(PortNumberFromName(c.name), c.number) << c.name;
    EXPECT_EQ(PortNameFromNumber(c.number), c.name) << c.number;
  }
  EXPECT_EQ(PortNumberFromName("/dev/pts/3"), 9004);
  EXPECT_EQ(PortNumberFromName("/dev/ttyUSB2"), 1003);
  EXPECT_EQ(ShortPortName("/dev/pts/3"), "pts/3");
  EXPECT_EQ(ShortPortName("ttyS0"), "ttyS0");
}

TEST(PortName, NamesOutsideTheFamiliesAndFreeNumbersMeanNoPort) {
  for (const char* name : {"", "ttyS", "ttyS01", "ttyS-1", "ttyS1x", "ttyUSB1000", "pts/", "pts/a",
                           "lp0", "COM3", "ttys0", "/dev/", "ttyS99999999999"}) {
    EXPECT_EQ(PortNumberFromName(name), 0) << name;
  }
  for (int32_t n : {0, -1, 5001, 9000}) EXPECT_EQ(PortNameFromNumber(n), "") << n;
}

}  // namespace
}  // namespace tarn
