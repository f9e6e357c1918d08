// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace tarn {

QStringList WithAllFiles(QStringList filters) {
  filters << QStringLiteral("All files (*)");
  return filters;
}

QString FilterSuffix(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9_]+)"));
  const QRegularExpressionMatch m = pattern.match(filter);
  return m.hasMatch() ? m.captured(1) : QString();
}

void FollowChosenType(QFileDialog* dialog) {
  const auto follow = [dialog] {
    dialog->setDefaultSuffix(FilterSuffix(dialog->selectedNameFilter()));
  };
  follow();
  QObject::connect(dialog, &QFileDialog::filterSelected, dialog, follow);
}

QString ChosenFile(QFileDialog* dialog) {
  // A type picked through code rather than the list sends no signal: follow it here too.
  if (dialog->acceptMode() == QFileDialog::AcceptSave)
    dialog->setDefaultSuffix(FilterSuffix(dialog->selectedNameFilter()));
  const QStringList files = dialog->selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

int TypeOfSavedFile(const QStringList& filters, const QString& chosen, QString* path) {
  const QString name = QFileInfo(*path).fileName();
  for (int i = 0; i < filters.size(); ++i) {
    const QString suffix = FilterSuffix(filters[i]);
    if (!suffix.isEmpty() && name.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
      return i;
  }
  const int type = static_cast<int>(filters.indexOf(chosen));
  if (type >= 0 && !FilterSuffix(filters[type]).isEmpty()) {
    *path += QLatin1Char('.') + FilterSuffix(filters[type]);
    return type;
  }
  // Under "All files" the name is the user's own; the file is of the first type offered.
  for (int i = 0; i < filters.size(); ++i)
    if (!FilterSuffix(filters[i]).isEmpty()) return i;
  return filters.isEmpty() ? -1 : 0;
}

int ChosenFileType(QFileDialog* dialog, QString* path) {
  *path = ChosenFile(dialog);
  if (path->isEmpty()) return -1;
  return TypeOfSavedFile(dialog->nameFilters(), dialog->selectedNameFilter(), path);
}

QString LastFolder::Start(const QString& fallback) const {
  return last_.isEmpty() ? fallback : last_;
}

void LastFolder::Use(const QString& file) {
  if (!file.isEmpty()) last_ = QFileInfo(file).absolutePath();
}

}  // namespace tarn
