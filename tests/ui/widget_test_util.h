// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the widget tests: temporary HOME, and answering the next message box.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>

namespace tarn::testing {

// Runs the event loop until `done` holds or `timeout_ms` pass; a timeout is a failure, named
// by `what`, when wrapped in ASSERT_TRUE or EXPECT_TRUE (Qt's QTRY_* macros return silently
// outside QTest).
[[nodiscard]] inline ::testing::AssertionResult WaitUntil(const std::function<bool()>& done,
                                                          int timeout_ms, const char* what) {
  QDeadlineTimer deadline(timeout_ms);
  while (!done()) {
    if (deadline.hasExpired())
      return ::testing::AssertionFailure() << "waited " << timeout_ms << " ms for " << what;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  return ::testing::AssertionSuccess();
}

// Runs `act` on the next modal dialog of type T once it is up.
template <typename T>
void OnNextModal(std::function<void(T*)> act, int attempts = 200) {
  QTimer::singleShot(10, [act, attempts]() {
    auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dlg == nullptr) {
      if (attempts > 0) OnNextModal<T>(act, attempts - 1);
      return;
    }
    act(dlg);
  });
}

// A button's visible caption: its text without the mnemonic's '&'.
inline QString Caption(const QAbstractButton* b) {
  return QString(b->text()).remove(QLatin1Char('&'));
}

// What a message box showed, captured when the test answered it.
struct SeenBox {
  bool seen = false;
  QString caption;
  QString text;
  QMessageBox::StandardButtons buttons;
};

// Arms a timer that answers the next modal QMessageBox by clicking `button`, recording what it
// showed. Call before the action that opens the box.
inline void AnswerNextMessageBox(SeenBox* seen, QMessageBox::StandardButton button,
                                 int attempts = 200) {
  QTimer::singleShot(10, [seen, button, attempts]() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (attempts > 0) AnswerNextMessageBox(seen, button, attempts - 1);
      return;
    }
    seen->seen = true;
    seen->caption = box->windowTitle();
    seen->text = box->text();
    seen->buttons = box->standardButtons();
    if (QAbstractButton* b = box->button(button)) b->click();
  });
}

// Answers the next `count` modal message boxes, one after the other, with `button`.
inline void AnswerMessageBoxes(int count, QMessageBox::StandardButton button, int attempts = 200) {
  if (count <= 0) return;
  QTimer::singleShot(10, [count, button, attempts]() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (attempts > 0) AnswerMessageBoxes(count, button, attempts - 1);
      return;
    }
    if (QAbstractButton* b = box->button(button)) b->click();
    AnswerMessageBoxes(count - 1, button);
  });
}

// Points HOME (and so the documents folder) at a fresh temporary folder for one test.
class TempHome {
 public:
  TempHome() : old_home_(qgetenv("HOME")) {
    qputenv("HOME", dir_.path().toUtf8());
    qunsetenv("XDG_DOCUMENTS_DIR");
  }
  ~TempHome() { qputenv("HOME", old_home_); }
  QString path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  QByteArray old_home_;
};

}  // namespace tarn::testing
