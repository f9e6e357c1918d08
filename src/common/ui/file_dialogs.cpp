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

QString LastFolder::Start(const QString& fallback) const {
  return last_.isEmpty() ? fallback : last_;
}

void LastFolder::Use(const QString& file) {
  if (!file.isEmpty()) last_ = QFileInfo(file).absolutePath();
}

}  // namespace tarn
