// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the serial download: a real pseudo-terminal standing in for the instrument,
// and a script thread that feeds it while the screen's reception loop holds the window thread.
#pragma once

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "widget_test_util.h"

namespace tarn::testing {

class PtyPair {
 public:
  PtyPair() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    name_ = name;
    // Raw, so that nothing echoes back when the port restores its settings at close.
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
  ~PtyPair() {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& name() const { return name_; }  // "/dev/pts/N"
  // Blocks until the screen side has taken everything (the terminal holds only a few KiB).
  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t w = ::write(master_, bytes.data(), bytes.size());
      if (w <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(w));
    }
    return true;
  }
  // The instrument unplugged: the port's next read fails.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string name_;
};

// Runs `fn` on the window thread and waits for it (the reception loop processes it).
inline void OnGui(QObject* context, const std::function<void()>& fn) {
  QMetaObject::invokeMethod(context, fn, Qt::BlockingQueuedConnection);
}

// Polls `pred` on the window thread until it holds; false after `timeout_ms`.
inline bool WaitOnGui(QObject* context, const std::function<bool()>& pred, int timeout_ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    bool done = false;
    OnGui(context, [&] { done = pred(); });
    if (done) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Clicks the screen's "Open Port" and, once the port is open, runs `script` on a worker thread
// while the reception loop holds the window thread; then closes the port if it is still open.
// A modal box left open by a failure is closed so that a broken screen fails instead of hanging.
inline void Download(QWidget* screen, const std::function<void()>& script) {
  auto* open = screen->findChild<QAbstractButton*>("btnOpenPort");
  auto* status = screen->findChild<QLabel*>("lbSt1");
  std::atomic<bool> done{false};
  std::thread t([&] {
    if (WaitOnGui(
            screen, [&] { return status->text() == "Port : ON"; }, 5000))
      script();
    // Boxes the test answers itself go first.
    WaitOnGui(
        screen, [] { return QApplication::activeModalWidget() == nullptr; }, 3000);
    OnGui(screen, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
      if (open->text() == "&Close Port") open->click();
    });
    done = true;
  });
  open->click();
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  t.join();
}

// Types a file name into a file dialog as a user would. (selectFile leaves the name field alone
// once that field has the focus, which arrives at an unknown moment.)
inline void TypeFileName(QFileDialog* dlg, const QString& name) {
  if (auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(name);
}

// A dialog answered while it is still being shown hides before its event loop has started, and
// that loop would then wait forever: ends the loop again if the dialog is hidden yet not gone.
inline void EnsureDialogEnded(QPointer<QDialog> dlg, int attempts = 20) {
  QTimer::singleShot(100, [dlg, attempts] {
    if (dlg.isNull()) return;
    if (!dlg->isVisible()) dlg->done(dlg->result());
    if (attempts > 0) EnsureDialogEnded(dlg, attempts - 1);
  });
}

// Once a visible modal dialog of type T is active, calls `fn` on it (which must close it). Arm
// it before the action that opens the dialog; it keeps looking, as construction can be slow.
template <typename T>
void WithNextModal(std::function<void(T*)> fn, int attempts = 1000) {
  QTimer::singleShot(10, [fn, attempts]() {
    auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
    if (w == nullptr || !w->isVisible()) {
      if (attempts > 0) WithNextModal<T>(fn, attempts - 1);
      return;
    }
    const QPointer<QDialog> dlg(w);
    fn(w);
    EnsureDialogEnded(dlg);
  });
}

}  // namespace tarn::testing
