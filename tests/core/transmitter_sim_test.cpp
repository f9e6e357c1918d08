// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "monitor/sim/sim_options.h"
#include "monitor/sim/transmitter_law.h"

namespace tarn {
namespace {

TEST(TransmitterLaw, ErRegisterFollowsTheRateAndClampsAtTheProbeLife) {
  const double year = kSecondsPerYear;
  const struct {
    double start, rate, span, elapsed;
    uint16_t expected;
  } cases[] = {
      {0, 10, 5, 0, 0},              // new probe
      {0, 10, 5, year / 4, 32768},   // 2.5 of 5: 32767.5 rounds up
      {1, 10, 5, year / 10, 26214},  // 2 of 5
      {0, 10, 5, year, 65535},       // 10 of 5: past the life
      {4, -100, 5, year, 0},         // a falling reading stops at 0
      {0, 10, 0, year, 0},           // no span
      {0.5, 0, 5, year, 6554},       // no rate: the start stays
      {0, 1e9, 5, 1, 65535},         // far past the end in a second
  };
  for (const auto& c : cases) {
    SimTransmitter t;
    t.start_loss = c.start;
    t.rate = c.rate;
    t.span = c.span;
    const uint16_t got = TransmitterRegister(t, 0, c.elapsed);
    EXPECT_EQ(got, c.expected) << c.start << " + " << c.rate << "/y x " << c.elapsed << "s";
    // What a poller makes of it comes back within half a step of the law.
    if (c.span > 0 && got > 0 && got < 65535) {
      EXPECT_NEAR(got / 65535.0 * c.span, ErLossAt(t, c.elapsed), c.span / 65535.0 / 2 + 1e-12);
    }
  }
}

TEST(TransmitterLaw, LprRateIsTwoFloatWordsHighFirst) {
  const struct {
    float value;
    uint16_t high, low;
  } cases[] = {{3.5f, 0x4060, 0x0000}, {-1.0f, 0xBF80, 0x0000}, {0.1f, 0x3DCC, 0xCCCD}};
  for (const auto& c : cases) {
    SimTransmitter t;
    t.kind = TransmitterKind::kLpr;
    t.rate = c.value;
    EXPECT_EQ(TransmitterRegister(t, 0, 123), c.high) << c.value;
    EXPECT_EQ(TransmitterRegister(t, 1, 123), c.low) << c.value;
    EXPECT_EQ(Float32FromWords(c.high, c.low), c.value);
  }
  const auto nan = Float32Words(std::nanf(""));
  EXPECT_TRUE(std::isnan(Float32FromWords(nan[0], nan[1])));
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= line.size() && !line.empty()) {
    const size_t sp = line.find(' ', pos);
    out.push_back(line.substr(pos, sp - pos));
    if (sp == std::string::npos) break;
    pos = sp + 1;
  }
  return out;
}

TEST(SimOptions, BadArgumentsAreRefusedWithTheirName) {
  const struct {
    const char* line;
    const char* names;  // what the message must quote
  } cases[] = {
      {"--tcp 127.0.0.1:70000", "--tcp"},
      {"--tcp :502", "--tcp"},
      {"--tcp", "needs a value"},
      {"--unit 0", "--unit"},
      {"--unit 248", "--unit"},
      {"--unit 1.5", "--unit"},
      {"--baud 0", "--baud"},
      {"--time-scale 0", "--time-scale"},
      {"--silent 5", "--silent"},
      {"--silent 5+0", "--silent"},
      {"--silent -1+3", "--silent"},
      {"--er span=0", "span"},
      {"--er span=five", "span"},
      {"--er rate=nan", "rate"},
      {"--er loss-unit=INCH", "loss-unit"},
      {"--er start=-1", "start"},
      {"--er register=65536", "register"},
      {"--er register=65535,count=2", "65535"},
      {"--er rate", "key=value"},
      {"--er colour=red", "colour"},
      {"--lpr span=5", "span"},
      {"--lpr register=65535", "65535"},
      {"--verbose 1", "--verbose"},
      {"stray", "stray"},
  };
  for (const auto& c : cases) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(ParseSimArgs(Split(c.line), o, error)) << c.line;
    EXPECT_NE(error.find(c.names), std::string::npos) << c.line << ": " << error;
  }
}

TEST(SimOptions, TransmittersAndEndpointsAsGiven) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseSimArgs(Split("--rtu --unit 7 --er register=10,count=3,span=10,loss-unit=MM,"
                                 "rate=0.5,start=1 --lpr register=20,count=2,rate=2.5 "
                                 "--silent 30+20 --time-scale 3600"),
                           o, error))
      << error;
  EXPECT_TRUE(o.rtu);
  EXPECT_FALSE(o.tcp);  // asked for RTU only
  EXPECT_EQ(o.unit_id, 7);
  EXPECT_EQ(o.time_scale, 3600);
  ASSERT_EQ(o.transmitters.size(), 5u);
  EXPECT_EQ(o.transmitters[2].first_register, 12);
  EXPECT_EQ(o.transmitters[2].unit, LossUnit::kMm);
  EXPECT_EQ(o.transmitters[2].span, 10);
  EXPECT_EQ(o.transmitters[2].start_loss, 1);
  EXPECT_EQ(o.transmitters[4].first_register, 22);  // LPR takes two registers each
  EXPECT_EQ(o.transmitters[4].kind, TransmitterKind::kLpr);

  const struct {
    double t;
    bool silent;
  } windows[] = {{29.99, false}, {30, true}, {49.99, true}, {50, false}};
  for (const auto& w : windows) EXPECT_EQ(SilentAt(o.silent, w.t), w.silent) << w.t;

  SimOptions plain;
  ASSERT_TRUE(ParseSimArgs({"--tcp", "0.0.0.0:1502"}, plain, error));
  EXPECT_TRUE(plain.tcp);
  EXPECT_EQ(plain.tcp_host, "0.0.0.0");
  EXPECT_EQ(plain.tcp_port, 1502);
  ASSERT_EQ(plain.transmitters.size(), 1u);  // one ER transmitter when none is given

  SimOptions bare;
  ASSERT_TRUE(ParseSimArgs({}, bare, error));
  EXPECT_TRUE(bare.tcp);
  EXPECT_EQ(bare.tcp_port, 0);
}

TEST(RegisterIndex, ServesEachTransmittersRegistersAndNothingElse) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseSimArgs(Split("--er register=1,count=2,span=5,start=2.5 --lpr register=5,"
                                 "rate=3.5"),
                           o, error));
  RegisterIndex index;
  ASSERT_TRUE(index.Build(o.transmitters, error)) << error;
  const struct {
    int address;
    bool served;
    uint16_t value;
  } cases[] = {{0, false, 0},  {1, true, 32768},  {2, true, 32768}, {3, false, 0},
               {4, false, 0},  {5, true, 0x4060}, {6, true, 0},     {7, false, 0},
               {-1, false, 0}, {65535, false, 0}};
  for (const auto& c : cases) {
    uint16_t v = 0xDEAD;
    EXPECT_EQ(index.ValueAt(c.address, 0, v), c.served) << c.address;
    if (c.served) {
      EXPECT_EQ(v, c.value) << c.address;
    }
  }

  for (const char* overlap : {"--lpr register=1 --er register=2", "--er register=3 --er register=3",
                              "--er register=0,count=4 --lpr register=3"}) {
    SimOptions bad;
    ASSERT_TRUE(ParseSimArgs(Split(overlap), bad, error)) << overlap;
    EXPECT_FALSE(index.Build(bad.transmitters, error)) << overlap;
    EXPECT_NE(error.find("share input register"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace tarn
