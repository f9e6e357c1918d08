// SPDX-License-Identifier: GPL-3.0-or-later
// The frame both graph windows share: Save, Print, Setup and Close on the right, the plot panel
// with the bar under it (check boxes, View All, the drag buttons and the read-out), their style
// and keys, the placing over the main window, printing and the graph settings dialog. Each
// window adds what its view needs through a few overrides.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/ui/file_dialogs.h"
#include "common/ui/screen_keys.h"
#include "graph/plot_view.h"
#include "graph/ui/graph_picture.h"
#include "graph/ui/plot_panel.h"
#include "graph/ui/zoom_bar.h"

class QFileDialog;
class QFrame;
class QLabel;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QShowEvent;
class QWidget;

namespace tarn {

class gSetup;

class GraphFrame : public QDialog, private PlotPanelEvents {
  Q_OBJECT

 public:
  // What sets one window apart.
  struct Look {
    const char* name;     // the window's object name
    const char* caption;  // its title
    // The picture types Save offers, the default first, and the message of a failed save ("%1"
    // the path, "%2" the reason).
    const PictureType* types;
    int type_count;
    const char* save_failed;
    // A read-out that takes the bar's free width rather than a fixed one.
    bool wide_readout;
    // The hint of View All: what the whole is.
    const char* view_all_hint;
  };

  ~GraphFrame() override;

  // Presses Save or Print as a click would; false for a key the window has no button for.
  bool PressKey(ScreenKey key);

  void RedrawGraph();
  void ResizeGraph();
  void ViewAll();
  void SetDragOpt(int opt);
  // "Setup": the graph settings dialog, then the view redrawn with what was confirmed.
  void SetGraph();
  void SaveGraph();
  void PrintGraph();
  // Draws the page: the bitmap scaled by 700 / its width, at the margin origin.
  void PrintPage(QPrinter* printer);

  gSetup* fmSet = nullptr;
  QPrinter* PrtDocument() const { return PrtDocument_.get(); }
  QWidget* plotPanel() const { return pnGrp; }
  QLabel* readout() const { return zoom_.lbValue; }

  // Replace the modal runs of the save and print dialogs (tests); they return true for OK.
  std::function<bool(QFileDialog*)> exec_save_dialog;
  LastFolder picture_folder;  // where the next save starts
  std::function<bool(QPrintDialog*)> exec_print_dialog;

 protected:
  GraphFrame(const Look& look, QWidget* parent);

  virtual PlotView& plot() = 0;
  // At every showing, after the check boxes' state went to the view: the settings' colours,
  // widths and range, and the bitmap for the panel of w by h pixels.
  virtual void StartView(int w, int h) = 0;
  // At closing, while the bitmap is still there: hands the colours back to the settings.
  virtual void StopView() = 0;
  // The colours the settings dialog starts from, and those it confirmed (the settings hold the
  // rest already).
  virtual uint32_t DataColor() = 0;
  virtual uint32_t TrendColor() = 0;
  virtual void SetupConfirmed(uint32_t data_color, uint32_t trend_color) = 0;
  // After anything that may have redrawn the view.
  virtual void Drawn() {}

  // A line shown above the plot (hidden until the window shows it).
  void AddAbovePlot(QWidget* widget);

  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void InitializeComponent(const Look& look);
  void pnGrp_Paint() override;
  void pnGrp_Resize() override;
  void pnGrp_MouseDown(int button, int x, int y) override;
  void pnGrp_MouseMove(int button, int x, int y) override;
  void pnGrp_MouseUp(int button, int x, int y) override;
  void pnGrp_MouseWheel(int delta, int x, int y) override;
  void chk_CheckedChanged();
  // The check boxes' state to the view.
  void PutSwitches();
  // The current bitmap on the panel.
  void Blit();

  Look look_;
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
