// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the blue title band, the four tabs and the three screens they host; loads the
// settings when first shown and saves them after it has closed.
#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;

namespace tarn {

class Anl;
class Coupon;
class Elpr;
class Probes;
class RecentMenu;

class MainForm : public QWidget {
  Q_OBJECT

 public:
  // When the Coupon, Analysis and Probes screens, the screens' dialogs (port settings, graph
  // window, about box) and the program's icon are made: with the window, so that they are among
  // its children from the start, or at their first use (the icon once the window has been
  // painted), so that the window shows sooner (the program). Either way they get the same hints
  // and keys.
  enum class Dialogs { kWithTheWindow, kOnFirstUse };
  explicit MainForm(QWidget* parent = nullptr, Dialogs dialogs = Dialogs::kWithTheWindow);

  // Prepares the folders under the documents folder and sets CfgFile and DataPath.
  void SetBasicInfo();
  // Places the screens in their tab pages.
  void SetChildScr();
  // Shows view cv: 1 ER, 2 LPR, 3 Coupon, 4 Analysis, 5 Probes.
  void View(int cv);

  // The probe history given on the command line (empty: the settings' or the default one).
  void SetHistoryLocation(std::string location) { history_location_ = std::move(location); }
  const std::string& historyLocation() const { return history_location_; }
  // Opens each file in the screen its content belongs to: coupon data files in the Coupon tab,
  // everything else in the Analysis tab; the tab of the last file is shown.
  void OpenFiles(const QStringList& paths);
  // Shows the user guide (F1).
  void ShowGuide();
  // Asks Save / Discard / Cancel for each kind of unsaved work; true when closing may go on.
  bool MaybeSaveAll();
  // "<file>[*] — Corrosion Monitoring Program" for the visible tab.
  void PutTitle();

  // The recent-file menus on the Open buttons: instrument files (Analysis) and coupon files.
  enum RecentKind { kRecentInstrument = 0, kRecentCoupon = 1 };
  RecentMenu* recentMenu(RecentKind kind) const { return recent_menu_[kind]; }

  int CurView() const { return CurView_; }
  Elpr* fmElpr() const { return fmElpr_; }
  // The Coupon, Analysis and Probes screens are made when first wanted: their tab shown, a file
  // for them, a download saved, or a call here.
  Coupon* fmCpon();
  Anl* fmAnl();
  Probes* fmPrb();

  // How long the window must stay still before a move or resize counts as ended.
  static constexpr int kResizeEndMs = 250;

 protected:
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string history_location_;

  void InitializeComponent();
  void MainForm_Shown();
  void MainForm_ResizeEnd();
  void MainForm_FormClosed();
  void tbCtrl_SelectedIndexChanged(int index);
  void GeometryChanged();
  void SetShortcuts();
  void SetRecentMenus();
  // Hooks up a screen just made: its signals and recent-file menu, and its tab page once the
  // window has been shown.
  void CouponMade();
  void AnlMade();
  void ProbesMade();
  void ReadProbesSettings();
  void PlaceScreen(QWidget* screen, QWidget* page);
  void SetRecentMenu(RecentKind kind, QPushButton* open);
  // Shows the kind's recent files on its menu, once the menu's screen is made.
  void PutRecentMenu(RecentKind kind);
  void LoadRecent();
  void SaveRecent();
  void NoteRecent(RecentKind kind, const QString& path);

  // The ER/LPR screen comes first: it exists before the window's own controls.
  Elpr* fmElpr_;
  Coupon* fmCpon_ = nullptr;
  Anl* fmAnl_ = nullptr;
  Probes* fmPrb_ = nullptr;

  int CurView_ = 1;
  bool shown_ = false;
  bool restoring_ = false;
  QTimer resize_end_;
  QWidget* guide_ = nullptr;
  RecentMenu* recent_menu_[2] = {nullptr, nullptr};
  std::vector<std::string> recent_[2];
  bool recent_changed_ = false;

  QFrame* pnTop = nullptr;
  QLabel* pictureBox1 = nullptr;
  QLabel* label3 = nullptr;
  QLabel* label1 = nullptr;
  QWidget* pnBase = nullptr;
  QTabWidget* tbCtrl = nullptr;
  QWidget* tbPg1 = nullptr;
  QWidget* tbPg2 = nullptr;
  QWidget* tbPg3 = nullptr;
  QWidget* tbPg4 = nullptr;
  QWidget* tbPg5 = nullptr;
};

}  // namespace tarn
