// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace tarn {

void ShowError(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("msgError"));
  box.exec();
}

bool AskConfirm(QWidget* parent, const QString& text, bool default_no) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Confirm"), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setObjectName(QStringLiteral("msgConfirm"));
  if (default_no) box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

SaveChoice AskSave(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Confirm"), text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setObjectName(QStringLiteral("msgSave"));
  box.setDefaultButton(QMessageBox::Save);
  // Alt and a letter, as on every button of the program (the plain theme gives none here).
  const struct {
    QMessageBox::StandardButton button;
    const char* text;
  } captions[] = {{QMessageBox::Save, "&Save"},
                  {QMessageBox::Discard, "&Discard"},
                  {QMessageBox::Cancel, "&Cancel"}};
  for (const auto& c : captions) box.button(c.button)->setText(QString::fromLatin1(c.text));
  switch (box.exec()) {
    case QMessageBox::Save:
      return SaveChoice::kSave;
    case QMessageBox::Discard:
      return SaveChoice::kDiscard;
    default:
      return SaveChoice::kCancel;
  }
}

}  // namespace tarn
