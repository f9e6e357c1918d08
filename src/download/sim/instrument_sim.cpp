// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-instrument-sim: stands in for the portable instrument. Opens a pseudo-terminal, prints
// the device path of its port, and whenever a program opens that port sends it a data file's
// lines (CR LF ended, as the instrument does), paced like a serial line.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace tarn {
namespace {

struct SimOptions {
  std::string file;
  long baud = 9600;
  double lines_per_second = 0;  // 0: paced by the baud rate only
  long delay_ms = 1000;         // after the port opens, as the user starts the instrument
  bool once = false;
};

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

void Usage(std::ostream& out) {
  out << "usage: tarn-instrument-sim FILE [--baud N] [--lines-per-second N] "
         "[--delay-ms N] [--once]\n"
         "  Prints the port's device path, then sends FILE to each program that opens "
         "it.\n";
}

bool ParseArgs(int argc, char** argv, SimOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto number = [&](double& out) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      out = std::strtod(argv[++i], &end);
      return end != argv[i] && *end == '\0' && out >= 0;
    };
    double v = 0;
    if (a == "--baud") {
      if (!number(v) || v < 1) return false;
      o.baud = static_cast<long>(v);
    } else if (a == "--lines-per-second") {
      if (!number(v)) return false;
      o.lines_per_second = v;
    } else if (a == "--delay-ms") {
      if (!number(v)) return false;
      o.delay_ms = static_cast<long>(v);
    } else if (a == "--once") {
      o.once = true;
    } else if (!a.empty() && a[0] == '-') {
      return false;
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      return false;
    }
  }
  return !o.file.empty();
}

// The file's lines without their line ends; the instrument ends each with CR LF.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line + "\r\n");
  }
  return true;
}

// True while no program holds the port open: the master side then reads as hung up.
bool PortClosed(int master) {
  pollfd p{master, 0, 0};
  if (::poll(&p, 1, 0) < 0) return true;
  return (p.revents & POLLHUP) != 0;
}

// Drops whatever the other side sent (the program never sends, but echo may arrive).
void DrainInput(int master) {
  char buf[256];
  pollfd p{master, POLLIN, 0};
  while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0) {
    if (::read(master, buf, sizeof buf) <= 0) break;
  }
}

void Sleep(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Writes one line whole; false when the port was closed or the write failed.
bool SendLine(int master, const std::string& line) {
  std::size_t off = 0;
  while (off < line.size()) {
    if (g_stop || PortClosed(master)) return false;
    pollfd p{master, POLLOUT, 0};
    if (::poll(&p, 1, 100) <= 0 || (p.revents & POLLOUT) == 0) continue;
    const ssize_t w = ::write(master, line.data() + off, line.size() - off);
    if (w < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    off += static_cast<std::size_t>(w);
  }
  return true;
}

int Run(const SimOptions& o) {
  std::vector<std::string> lines;
  if (!ReadLines(o.file, lines)) {
    std::cerr << "tarn-instrument-sim: cannot read " << o.file << "\n";
    return 1;
  }
  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::cerr << "tarn-instrument-sim: cannot open a pseudo-terminal: " << std::strerror(errno)
              << "\n";
    return 1;
  }
  termios tio{};
  ::tcgetattr(slave, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave, TCSANOW, &tio);
  // Only the program that opens the port holds the slave side, so its opening can be seen.
  ::close(slave);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  std::cout << name << std::endl;
  std::cerr << "tarn-instrument-sim: serving " << lines.size() << " lines of " << o.file << " on "
            << name << "; add it to TARN_EXTRA_PORTS and open the port\n";

  double per_byte = 10.0 / static_cast<double>(o.baud);  // start, 8 data and stop bits
  double per_line = o.lines_per_second > 0 ? 1.0 / o.lines_per_second : 0;
  while (!g_stop) {
    while (!g_stop && PortClosed(master)) Sleep(0.05);
    if (g_stop) break;
    std::cerr << "tarn-instrument-sim: port opened, sending\n";
    Sleep(o.delay_ms / 1000.0);
    DrainInput(master);
    std::size_t sent = 0;
    for (const std::string& line : lines) {
      if (!SendLine(master, line)) break;
      ++sent;
      Sleep(std::max(per_line, per_byte * static_cast<double>(line.size())));
    }
    std::cerr << "tarn-instrument-sim: sent " << sent << " of " << lines.size() << " lines\n";
    if (o.once) break;
    // Wait for the port to be closed before serving the next opening.
    while (!g_stop && !PortClosed(master)) {
      DrainInput(master);
      Sleep(0.05);
    }
  }
  ::close(master);
  return 0;
}

}  // namespace
}  // namespace tarn

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    tarn::Usage(std::cout);
    return 0;
  }
  tarn::SimOptions o;
  if (!tarn::ParseArgs(argc, argv, o)) {
    tarn::Usage(std::cerr);
    return 2;
  }
  std::signal(SIGINT, tarn::OnSignal);
  std::signal(SIGTERM, tarn::OnSignal);
  return tarn::Run(o);
}
