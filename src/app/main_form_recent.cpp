// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's recent files: one list per kind of file, fed by the screens as files open
// or are saved, shown on the Open buttons and kept in the settings file between runs.
#include <QPushButton>

#include "analysis/ui/anl.h"
#include "app/main_form.h"
#include "common/ui/qt_text.h"
#include "common/ui/recent_menu.h"
#include "coupon/ui/coupon.h"
#include "download/ui/elpr.h"
#include "settings/ini_file.h"
#include "settings/recent_files.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr const char* kKindKeys[] = {"Instrument", "Coupon"};

}  // namespace

void MainForm::SetRecentMenus() {
  // A saved download is an instrument file too, and the Analysis tab's Open starts beside it.
  connect(fmElpr_, &Elpr::DataSaved, this, [this](const QString& path) {
    fmAnl()->openFolder().Use(path);
    NoteRecent(kRecentInstrument, path);
  });
}

void MainForm::SetRecentMenu(RecentKind kind, QPushButton* open) {
  recent_menu_[kind] = new RecentMenu(open);
  // Routed by content like a dropped file; a coupon file still asks before unsaved work goes.
  connect(recent_menu_[kind], &RecentMenu::Chosen, this,
          [this](const QString& path) { OpenFiles({path}); });
  PutRecentMenu(kind);
}

void MainForm::PutRecentMenu(RecentKind kind) {
  if (recent_menu_[kind] == nullptr) return;  // its screen is not made yet
  QStringList files;
  for (const std::string& f : recent_[kind]) files << FromUtf8(f);
  recent_menu_[kind]->SetFiles(files);
}

void MainForm::NoteRecent(RecentKind kind, const QString& path) {
  if (path.isEmpty()) return;
  std::vector<std::string>& list = recent_[kind];
  const std::string file = ToUtf8(path);
  if (!list.empty() && list.front() == file) return;
  AddRecent(list, file);
  recent_changed_ = true;
  PutRecentMenu(kind);
}

void MainForm::LoadRecent() {
  IniFile ini;
  ini.SetIniFile(CfgFile);
  for (int kind : {kRecentInstrument, kRecentCoupon}) {
    // Files opened before the settings were read (command line) stay the newest.
    std::vector<std::string> opened = std::move(recent_[kind]);
    recent_[kind] = ReadRecent(ini, kKindKeys[kind]);
    for (auto f = opened.rbegin(); f != opened.rend(); ++f) AddRecent(recent_[kind], *f);
    PutRecentMenu(static_cast<RecentKind>(kind));
  }
}

void MainForm::SaveRecent() {
  if (!recent_changed_) return;  // a run that opened nothing leaves the section as it was
  IniFile ini;
  ini.SetIniFile(CfgFile);  // keeps every other section as it is
  for (int kind : {kRecentInstrument, kRecentCoupon})
    WriteRecent(ini, kKindKeys[kind], recent_[kind]);
  ini.Flush();  // a failed save stays silent, as for the other settings
}

}  // namespace tarn
