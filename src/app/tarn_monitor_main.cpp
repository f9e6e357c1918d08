// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-monitor: reads online ER and LPR transmitters into the probe history and serves the
// fleet's figures to the control system over Modbus TCP; headless, stopped by SIGTERM.
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/user_paths.h"
#include "history/rate_window.h"
#include "monitor/monitor_config.h"
#include "monitor/qt/map_server.h"
#include "monitor/qt/monitor_log.h"
#include "monitor/qt/transmitter_poller.h"

namespace {

const char kUsage[] =
    "usage: tarn-monitor --config FILE\n"
    "  Reads the transmitters FILE names into the probe history and serves the fleet's figures\n"
    "  over Modbus TCP. A malformed FILE is refused with its line (exit 2). SIGTERM or SIGINT\n"
    "  stops it between polls after storing the readings taken.\n";

int signal_pipe[2] = {-1, -1};

void OnSignal(int sig) {
  const char c = static_cast<char>(sig);
  // Only async-signal-safe work here: the event loop reads the byte.
  [[maybe_unused]] const ssize_t n = write(signal_pipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) {
      config_path = argv[++i];
      continue;
    }
    std::fprintf(stderr, "tarn-monitor: unexpected argument %s\n%s", argv[i], kUsage);
    return 2;
  }
  if (config_path.empty()) {
    std::fprintf(stderr, "tarn-monitor: --config FILE is needed\n%s", kUsage);
    return 2;
  }
  std::ifstream in(config_path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "tarn-monitor: %s: cannot read the file\n", config_path.c_str());
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  tarn::MonitorConfig config;
  if (const tarn::Status parsed = tarn::ParseMonitorConfig(text.str(), config_path, &config);
      !parsed) {
    std::fprintf(stderr, "tarn-monitor: %s\n", parsed.message.c_str());
    return 2;
  }

  QCoreApplication app(argc, argv);
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_pipe) != 0) {
    std::perror("tarn-monitor: socketpair");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  for (const tarn::TransmitterConfig& t : config.transmitters) {
    if (!t.point.empty()) {
      tarn::MonitorLog(t.tag + ": POINT noted; monitoring points are not kept yet");
    }
  }
  tarn::TransmitterPoller poller(config);
  std::unique_ptr<tarn::MapServer> server;
  if (!config.listen_host.empty()) {
    server = std::make_unique<tarn::MapServer>(
        [&poller] { return poller.History(); },
        [&poller](const std::string& why) { poller.HistoryFailed(why); }, config.refresh,
        tarn::SavedRateWindow(tarn::UserCfgFile()));  // the rates of `history probes`
    if (const tarn::Status serving = server->Listen(config.listen_host, config.listen_port);
        !serving) {
      tarn::MonitorLog(serving.message);
      return 1;
    }
  }
  QSocketNotifier notifier(signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
    char c = 0;
    [[maybe_unused]] const ssize_t n = read(signal_pipe[0], &c, 1);
    notifier.setEnabled(false);
    tarn::MonitorLog(std::string("stopping on ") + (c == SIGINT ? "SIGINT" : "SIGTERM"));
    if (server) server->disconnectDevice();
    poller.Stop();
  });
  QObject::connect(&poller, &tarn::TransmitterPoller::stopped, &app, [&] {
    tarn::MonitorLog("stopped");
    app.quit();
  });
  tarn::MonitorLog("started with " + std::to_string(config.transmitters.size()) +
                   " transmitters; history " + config.history);
  poller.Start();
  return app.exec();
}
