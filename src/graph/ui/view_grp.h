// SPDX-License-Identifier: GPL-3.0-or-later
// The graph window "View Graph": the plot panel, its check boxes and zoom buttons, the read-out,
// and Save, Print and Setup. A shell over GraphView, which holds the state and the rules.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "common/ui/file_dialogs.h"
#include "common/ui/screen_keys.h"
#include "graph/graph_view.h"
#include "graph/ui/plot_panel.h"
#include "graph/ui/zoom_bar.h"

class QCheckBox;
class QFileDialog;
class QFrame;
class QLabel;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QWidget;

namespace tarn {

class gSetup;

class ViewGrp : public QDialog, private PlotPanelEvents {
  Q_OBJECT

 public:
  explicit ViewGrp(QWidget* parent = nullptr);
  ~ViewGrp() override;

  // Corrosion rate between two samples of vGrpData in the user's number format; usable while
  // the window is hidden.
  QString GetCrateStr(int sp, int ep) const;

  void RedrawGraph();
  void ResizeGraph();
  void ViewAll();
  void SetDragOpt(int opt);
  void SetGraph();
  void SaveGraph();
  void PrintGraph();
  // Presses Save or Print as a click would; false for a key the window has no button for.
  bool PressKey(ScreenKey key);
  // Draws the page: the bitmap scaled by 700 / its width, at the margin origin.
  void PrintPage(QPrinter* printer);

  GraphView& view() { return view_; }
  gSetup* fmSet = nullptr;
  QPrinter* PrtDocument() const { return PrtDocument_.get(); }

  // Replace the modal runs of the save and print dialogs (tests); they return true for OK.
  std::function<bool(QFileDialog*)> exec_save_dialog;
  LastFolder picture_folder;  // where the next save starts
  std::function<bool(QPrintDialog*)> exec_print_dialog;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void InitializeComponent();
  // Events of the plot panel.
  void pnGrp_Paint() override;
  void pnGrp_Resize() override;
  void pnGrp_MouseDown(int button, int x, int y) override;
  void pnGrp_MouseMove(int button, int x, int y) override;
  void pnGrp_MouseUp(int button, int x, int y) override;
  void pnGrp_MouseWheel(int delta, int x, int y) override;
  void chk_CheckedChanged();
  // The current bitmap on the panel.
  void Blit();

  GraphView view_;
  std::unique_ptr<QPrinter> PrtDocument_;

  QFrame* panel1;
  QPushButton* btnSave;
  QPushButton* btnPrint;
  QPushButton* btnSetup;
  QPushButton* btnClose;
  QFrame* panel2;
  QWidget* pnGrp;
  QFrame* panel3;
  ZoomBar zoom_;
};

}  // namespace tarn
