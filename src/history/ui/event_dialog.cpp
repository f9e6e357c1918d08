// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/event_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ui/qt_text.h"
#include "history/event_marks.h"
#include "history/point_path.h"

namespace tarn {

namespace {

constexpr EventKind kKinds[] = {EventKind::kInhibitor, EventKind::kProcess, EventKind::kCleaning,
                                EventKind::kProbe, EventKind::kOther};

}  // namespace

EventDialog::EventDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EventDialog"));
  edWhen = new QLineEdit(this);
  edWhen->setObjectName(QStringLiteral("edWhen"));
  edWhen->setToolTip(QStringLiteral("dd/MM/yyyy HH:mm or dd/MM/yyyy HH:mm:ss"));
  edPath = new QLineEdit(this);
  edPath->setObjectName(QStringLiteral("edPath"));
  edPath->setToolTip(
      QStringLiteral("A point, or a unit or site: an event there applies to every point under it"));
  cbKind = new QComboBox(this);
  cbKind->setObjectName(QStringLiteral("cbKind"));
  for (EventKind k : kKinds)
    cbKind->addItem(QString::fromUtf8(EventSymbol(k)) + QLatin1Char(' ') +
                    QString::fromLatin1(EventKindTitle(k)));
  edNote = new QLineEdit(this);
  edNote->setObjectName(QStringLiteral("edNote"));
  edNote->setPlaceholderText(QStringLiteral("e.g. inhibitor dose from 20 to 35 ppm"));
  lbError = new QLabel(this);
  lbError->setObjectName(QStringLiteral("lbError"));
  lbError->setStyleSheet(QStringLiteral("color: firebrick;"));
  lbError->setWordWrap(true);
  lbError->hide();
  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&When:"), edWhen);
  form->addRow(QStringLiteral("&On:"), edPath);
  form->addRow(QStringLiteral("&Kind:"), cbKind);
  form->addRow(QStringLiteral("&Note:"), edNote);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(lbError);
  layout->addWidget(buttons);
  setMinimumWidth(440);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void EventDialog::Init(const HistoryEvent& event) {
  event_ = event;
  setWindowTitle(event.id == 0 ? QStringLiteral("Add event") : QStringLiteral("Edit event"));
  edWhen->setText(FromUtf8(DateTime2Str(DateTime{event.time * kTicksPerSecond})));
  edPath->setText(FromUtf8(NarrowToUtf8(event.path)));
  for (int i = 0; i < static_cast<int>(std::size(kKinds)); ++i) {
    if (kKinds[i] == event.kind) cbKind->setCurrentIndex(i);
  }
  edNote->setText(FromUtf8(NarrowToUtf8(event.note)));
  lbError->hide();
}

void EventDialog::Accept() {
  auto refuse = [this](const QString& why) {
    lbError->setText(why);
    lbError->show();
  };
  int32_t chk = 0;
  const DateTime when = Str2DateTime(ToUtf8(edWhen->text().trimmed()), &chk);
  if (chk == 0) {
    refuse(QStringLiteral("The time is not a date and time (dd/MM/yyyy HH:mm[:ss])."));
    return;
  }
  std::string path;
  if (Status st = ParsePointPath(Utf8ToNarrow(ToUtf8(edPath->text())), &path); !st) {
    refuse(FromUtf8(NarrowToUtf8(st.message)));
    return;
  }
  const QString note = edNote->text().trimmed();
  if (note.contains(QLatin1Char('\t'))) {
    refuse(QStringLiteral("A note may not hold a tab."));
    return;
  }
  event_.time = when.ticks / kTicksPerSecond;
  event_.path = path;
  event_.kind = kKinds[std::max(cbKind->currentIndex(), 0)];
  event_.note = Utf8ToNarrow(ToUtf8(note));
  accept();
}

}  // namespace tarn
