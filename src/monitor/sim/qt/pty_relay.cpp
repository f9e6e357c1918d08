// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/sim/qt/pty_relay.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

namespace tarn {
namespace {

// One raw terminal pair. The slave stays open here too, so that the master never reads as hung
// up while no client holds the port.
bool OpenPair(int& master, int& slave, QString& path, QString& error) {
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(std::strerror(errno));
    return false;
  }
  termios tio{};
  if (::tcgetattr(slave, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  path = QString::fromLocal8Bit(name);
  return true;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

PtyRelay::PtyRelay(QObject* parent) : QObject(parent) {}

PtyRelay::~PtyRelay() {
  delete client_notifier_;
  delete server_notifier_;
  for (int* fd : {&client_master_, &client_slave_, &server_master_, &server_slave_}) CloseFd(*fd);
}

bool PtyRelay::Open(QString& error) {
  if (!OpenPair(client_master_, client_slave_, client_path_, error) ||
      !OpenPair(server_master_, server_slave_, server_path_, error))
    return false;
  client_notifier_ = new QSocketNotifier(client_master_, QSocketNotifier::Read);
  server_notifier_ = new QSocketNotifier(server_master_, QSocketNotifier::Read);
  connect(client_notifier_, &QSocketNotifier::activated, this,
          [this] { Pass(client_master_, server_master_); });
  connect(server_notifier_, &QSocketNotifier::activated, this,
          [this] { Pass(server_master_, client_master_); });
  return true;
}

void PtyRelay::Pass(int from, int to) {
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(from, buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN: all read; EIO: the other side closed for now
    if (muted_) continue;
    ssize_t off = 0;
    while (off < n) {
      const ssize_t w = ::write(to, buf + off, static_cast<size_t>(n - off));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;  // a full terminal buffer: the frame is lost, as on a noisy line
      off += w;
    }
  }
}

}  // namespace tarn
