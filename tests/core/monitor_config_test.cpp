// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's configuration: the issue's own example reads whole, and every malformed key or
// line is refused with the file, the line and the reason.
#include <gtest/gtest.h>

#include <string>

#include "monitor/monitor_config.h"

namespace tarn {
namespace {

const char kGood[] =
    "[HISTORY]\n"
    "LOCATION=/var/lib/tarn/history.sqlite        ; or a postgresql:// URI, as everywhere\n"
    "[SERVER]\n"
    "LISTEN=127.0.0.1:1502\n"
    "REFRESH=60\n"
    "[TRANSMITTER CDU-101-ER]                     ; the probe's tag\n"
    "ADDRESS=tcp://cdu-rtu.plant:502\n"
    "UNIT=1\n"
    "REGISTER=0\n"
    "KIND=ER\n"
    "SPAN=5\n"
    "UNIT LOSS=MILS\n"
    "SERIAL=E0412-118\n"
    "POINT=North Field/CDU/Overhead\n"
    "INTERVAL=3600\n"
    "[transmitter CDU-102-LPR-\xC3\x9C]\r\n"
    "address = rtu:/dev/ttyUSB0?baud=9600&parity=N&stop=2\r\n"
    "kind = LPR\r\n"
    "interval = 10\r\n";

TEST(MonitorConfig, ReadsEveryKey) {
  MonitorConfig c;
  const Status good = ParseMonitorConfig(kGood, "m.conf", &c);
  ASSERT_TRUE(good) << good.message;
  EXPECT_EQ(c.history, "/var/lib/tarn/history.sqlite");
  EXPECT_EQ(c.listen_host, "127.0.0.1");
  EXPECT_EQ(c.listen_port, 1502);
  EXPECT_EQ(c.refresh, 60);
  ASSERT_EQ(c.transmitters.size(), 2u);
  const TransmitterConfig& er = c.transmitters[0];
  EXPECT_EQ(er.tag, "CDU-101-ER");
  EXPECT_EQ(er.link.kind, LinkKind::kTcp);
  EXPECT_EQ(er.link.host, "cdu-rtu.plant");
  EXPECT_EQ(er.link.port, 502);
  EXPECT_EQ(er.kind, TransmitterKind::kEr);
  EXPECT_DOUBLE_EQ(er.span, 5.0);
  EXPECT_FALSE(er.millimetre);
  EXPECT_EQ(er.serial, "E0412-118");
  EXPECT_EQ(er.point, (std::vector<std::string>{"North Field", "CDU", "Overhead"}));
  EXPECT_EQ(er.interval, 3600);
  EXPECT_EQ(er.line, 6);
  const TransmitterConfig& lpr = c.transmitters[1];
  EXPECT_EQ(lpr.tag, "CDU-102-LPR-\xC3\x9C");  // a character Windows-1252 holds
  EXPECT_EQ(lpr.kind, TransmitterKind::kLpr);
  EXPECT_EQ(lpr.link.kind, LinkKind::kRtu);
  EXPECT_EQ(lpr.link.device, "/dev/ttyUSB0");
  EXPECT_EQ(lpr.link.baud, 9600);
  EXPECT_EQ(lpr.link.parity, 'N');
  EXPECT_EQ(lpr.link.stop, 2);
  EXPECT_EQ(lpr.unit, 1);  // defaults
  EXPECT_EQ(lpr.reg, 0);

  // An empty LISTEN turns the server off.
  const Status no_server =
      ParseMonitorConfig("[HISTORY]\nLOCATION=h.sqlite\n[SERVER]\nLISTEN=\n", "m.conf", &c);
  ASSERT_TRUE(no_server) << no_server.message;
  EXPECT_TRUE(c.listen_host.empty());
}

// Replaces the whole line that starts with `key=` in the good text (the first one).
std::string With(const std::string& key, const std::string& line) {
  std::string text = kGood;
  const std::size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return text;
  const std::size_t end = text.find('\n', at + 1);
  return text.substr(0, at + 1) + line + text.substr(end);
}

TEST(MonitorConfig, RefusesEachMalformedKeyWithItsLine) {
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {With("LOCATION", "LOCATION="), "m.conf:2: LOCATION: empty"},
      {With("LOCATION", "PLACE=x"), "m.conf:2: unknown key PLACE"},
      {With("LISTEN", "LISTEN=127.0.0.1"), "m.conf:4: LISTEN: give host:port"},
      {With("LISTEN", "LISTEN=127.0.0.1:70000"), "m.conf:4: LISTEN: the port is not"},
      {With("LISTEN", "LISTEN=:1502"), "m.conf:4: LISTEN: no host"},
      {With("REFRESH", "REFRESH=0"), "m.conf:5: REFRESH: not a whole number"},
      {With("REFRESH", "REFRESH=1.5"), "m.conf:5: REFRESH: not a whole number"},
      {With("ADDRESS", "ADDRESS=udp://x:502"), "m.conf:7: ADDRESS: an address starts with"},
      {With("ADDRESS", "ADDRESS=tcp://x:"), "m.conf:7: ADDRESS: an empty port"},
      {With("ADDRESS", "ADDRESS=tcp://x:0"), "m.conf:7: ADDRESS: the port is not"},
      {With("ADDRESS", "ADDRESS=rtu:?baud=9600"), "m.conf:7: ADDRESS: no serial device"},
      {With("ADDRESS", "ADDRESS=rtu:/dev/ttyS0?baud=fast"), "m.conf:7: ADDRESS: baud is not"},
      {With("ADDRESS", "ADDRESS=rtu:/dev/ttyS0?parity=X"), "m.conf:7: ADDRESS: parity must"},
      {With("ADDRESS", "ADDRESS=rtu:/dev/ttyS0?stop=3"), "m.conf:7: ADDRESS: stop must"},
      {With("ADDRESS", "ADDRESS=rtu:/dev/ttyS0?bits=8"), "m.conf:7: ADDRESS: unknown setting"},
      {With("UNIT", "UNIT=248"), "m.conf:8: UNIT: not a whole number from 0 to 247"},
      {With("UNIT", "UNIT=-1"), "m.conf:8: UNIT: not a whole number"},
      {With("REGISTER", "REGISTER=65536"), "m.conf:9: REGISTER: not a whole number"},
      {With("KIND", "KIND=UT"), "m.conf:10: KIND: must be ER or LPR"},
      {With("SPAN", "SPAN=0"), "m.conf:11: SPAN: not a number above 0"},
      {With("SPAN", "SPAN=5 mils"), "m.conf:11: SPAN: not a number above 0"},
      {With("UNIT LOSS", "UNIT LOSS=INCH"), "m.conf:12: UNIT LOSS: must be MILS or MM"},
      {With("SERIAL", "SERIAL=E0412\t118"), "m.conf:13: SERIAL: holds a control character"},
      {With("SERIAL", "SERIAL=E\xCE\xA9-1"), "m.conf:13: SERIAL: 'E\xCE\xA9-1' holds a character"},
      {With("SERIAL", "SERIAL=E\xFF-1"), "m.conf:13: SERIAL: 'E\xFF-1' holds a character"},
      {With("POINT", "POINT=North Field//Overhead"), "m.conf:14: POINT: a point name between"},
      {With("POINT", "POINT=a/b/c/d/e/f/g"), "m.conf:14: POINT: a point path has at most six"},
      {With("POINT", "POINT= / "), "m.conf:14: POINT: a point name between"},
      {With("INTERVAL", "INTERVAL=0"), "m.conf:15: INTERVAL: not a whole number of seconds"},
      {With("INTERVAL", "INTERVAL=ten"), "m.conf:15: INTERVAL: not a whole number of seconds"},
      // Lines and sections.
      {With("UNIT", "UNIT"), "m.conf:8: not KEY=VALUE nor [SECTION]"},
      {With("UNIT", "UNIT=1\nUNIT=2"), "m.conf:9: UNIT appears twice"},
      {With("UNIT", "[TRANSMITTER"), "m.conf:8: a section header ends with ]"},
      {With("UNIT", "[PLANT]"), "m.conf:8: unknown section [PLANT]"},
      {With("UNIT", "[TRANSMITTER]"), "m.conf:8: a transmitter section needs the probe's tag"},
      {With("UNIT", "[TRANSMITTER CDU-\xCE\xA9]"), "m.conf:8: the tag 'CDU-\xCE\xA9' holds a char"},
      {With("UNIT", "[HISTORY]"), "m.conf:8: section [HISTORY] appears twice"},
      {"LOCATION=h.sqlite\n", "m.conf:1: a key before the first section"},
      {"[SERVER]\nLISTEN=\n", "m.conf:2: no [HISTORY] LOCATION"},
      // What a transmitter section must hold, reported at its header.
      {With("ADDRESS", "; none"), "m.conf:6: transmitter has no ADDRESS"},
      {With("KIND", "; none"), "m.conf:6: transmitter has no KIND"},
      {With("INTERVAL", "; none"), "m.conf:6: transmitter has no INTERVAL"},
      {With("SPAN", "; none"), "m.conf:6: ER transmitter has no SPAN"},
      {With("interval ", "interval = 10\r\nSPAN=5"), "m.conf:16: SPAN and UNIT LOSS are for ER"},
      {std::string(kGood) + "[TRANSMITTER  CDU-101-ER ]\nADDRESS=tcp://b\nKIND=LPR\n",
       "m.conf:20: section [TRANSMITTER  CDU-101-ER] appears twice"},
  };
  for (const auto& c : cases) {
    MonitorConfig config;
    const Status parsed = ParseMonitorConfig(c.text, "m.conf", &config);
    const std::string& error = parsed.message;
    EXPECT_FALSE(parsed) << c.message;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << "got: " << error << "\nwanted: " << c.message;
  }
}

}  // namespace
}  // namespace tarn
