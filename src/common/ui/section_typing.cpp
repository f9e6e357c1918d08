// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/section_typing.h"

#include <QDateTimeEdit>
#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <algorithm>

namespace tarn {

namespace {

// The sections in the order of the values kept: digits each takes, and its largest value.
struct SectionRule {
  QDateTimeEdit::Section section;
  int digits;
  int largest;
};
constexpr SectionRule kRules[] = {{QDateTimeEdit::DaySection, 2, 31},
                                  {QDateTimeEdit::MonthSection, 2, 12},
                                  {QDateTimeEdit::YearSection, 4, 9999},
                                  {QDateTimeEdit::HourSection, 2, 23},
                                  {QDateTimeEdit::MinuteSection, 2, 59}};

int Index(QDateTimeEdit::Section s) {
  for (int i = 0; i < 5; ++i)
    if (kRules[i].section == s) return i;
  return 4;
}

// Keeps the digits typed so far in the current section and the values of the sections typed
// in this run, so that a day typed before its month (31, then 01) is not cut to the shown
// month's length for good.
class SectionTyping : public QObject {
 public:
  explicit SectionTyping(QDateTimeEdit* edit) : QObject(edit), edit_(edit) {}

  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::MouseButtonPress:
        EndRun();
        break;
      case QEvent::KeyPress:
        return Key(static_cast<QKeyEvent*>(event));
      default:
        break;
    }
    return false;
  }

 private:
  bool Key(QKeyEvent* event) {
    const QString text = event->text();
    const bool plain = (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == 0;
    if (!plain || text.size() != 1) {
      EndRun();
      return false;
    }
    const QChar c = text.front();
    if (c.isDigit()) {
      Digit(c.digitValue());
      return true;
    }
    if (QStringLiteral("/:.- ").contains(c)) {
      // A separator ends the section; right after a full one moved on, it is already done.
      if (!moved_on_) {
        if (!typed_.isEmpty()) Commit();
        Next();
      }
      moved_on_ = false;
      return true;
    }
    EndRun();
    return false;
  }

  void Digit(int d) {
    if (!in_run_) StartRun();
    moved_on_ = false;
    typed_ += QChar(u'0' + d);
    const int i = Index(edit_->currentSection());
    const int value = typed_.toInt();
    values_[i] = value;
    if (typed_.size() >= kRules[i].digits || value * 10 > kRules[i].largest) {
      Commit();
      Next();
      moved_on_ = true;
    } else {
      Apply(false);
    }
  }

  void Commit() {
    Apply(true);
    typed_.clear();
  }

  void Next() {
    typed_.clear();
    const int i = edit_->currentSectionIndex();
    if (i + 1 < edit_->sectionCount()) edit_->setCurrentSectionIndex(i + 1);
    edit_->setSelectedSection(edit_->currentSection());
  }

  // Shows the sections typed; a value not valid yet (a day 0, a year 2 on its way to 2024) is
  // left for more digits, unless the section is done, when it is brought into range.
  void Apply(bool done) {
    const QDateTime shown = edit_->dateTime();
    int day = values_[0], month = values_[1], year = values_[2];
    const int hour = std::min(values_[3], 23), minute = std::min(values_[4], 59);
    const QDate min = edit_->minimumDate();
    if (!done && (day < 1 || month < 1 || year < min.year())) return;
    year = std::clamp(year, min.year(), edit_->maximumDate().year());
    month = std::clamp(month, 1, 12);
    day = std::clamp(day, 1, QDate(year, month, 1).daysInMonth());
    const QDateTime next(QDate(year, month, day), QTime(hour, minute, shown.time().second()));
    if (next != shown) edit_->setDateTime(next);
    edit_->setSelectedSection(edit_->currentSection());
  }

  void StartRun() {
    const QDateTime now = edit_->dateTime();
    values_[0] = now.date().day();
    values_[1] = now.date().month();
    values_[2] = now.date().year();
    values_[3] = now.time().hour();
    values_[4] = now.time().minute();
    in_run_ = true;
  }

  void EndRun() {
    in_run_ = false;
    moved_on_ = false;
    typed_.clear();
  }

  QDateTimeEdit* edit_;
  QString typed_;
  int values_[5] = {1, 1, 2000, 0, 0};
  bool in_run_ = false;
  bool moved_on_ = false;
};

}  // namespace

void TypeBySection(QDateTimeEdit* edit) {
  edit->installEventFilter(new SectionTyping(edit));
}

}  // namespace tarn
