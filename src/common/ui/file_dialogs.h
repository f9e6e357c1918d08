// SPDX-License-Identifier: GPL-3.0-or-later
// Habits shared by the file dialogs: "All files (*)" beside the offered types, the chosen type's
// extension added to a name typed without one, and the folder last used in this run.
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;

namespace tarn {

// The filters followed by "All files (*)".
QStringList WithAllFiles(QStringList filters);
// The extension a filter such as "CSV files(*.csv)" names; empty for one that names none.
QString FilterSuffix(const QString& filter);
// Sets the dialog's default suffix to the chosen type's extension, now and whenever the user
// picks another type, so that a bare name gets it (and the overwrite question sees it).
void FollowChosenType(QFileDialog* dialog);
// The first chosen file, with the chosen type's extension when the name has none.
QString ChosenFile(QFileDialog* dialog);

// What a save dialog's file is written as, by the name the user typed: the offered type whose
// extension the name ends in (any case), so "data.xlsx" typed while "CSV files" is chosen is a
// workbook; any other name is of the chosen type and gets its extension ("data.txt" becomes
// "data.txt.csv"), so that a file's extension always says what it holds. Under "All files"
// such a name stays as typed, of the first type offered. Returns the index in `filters`.
int TypeOfSavedFile(const QStringList& filters, const QString& chosen, QString* path);
// The same for an accepted dialog's first file; -1 when none was chosen.
int ChosenFileType(QFileDialog* dialog, QString* path);

// Where a screen's dialog for one kind of file starts: the folder last used for that kind in
// this run, else the given folder.
class LastFolder {
 public:
  QString Start(const QString& fallback) const;
  // Remembers the folder of a chosen file.
  void Use(const QString& file);

 private:
  QString last_;
};

}  // namespace tarn
