// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph window: one probe's whole history or several probes laid over each other,
// with the graph window's zoom, wheel, read-out, trend line and rate. A shell over HistoryView.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "common/ui/file_dialogs.h"
#include "graph/history_view.h"
#include "graph/ui/plot_panel.h"
#include "graph/ui/zoom_bar.h"
#include "history/rate_window.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace tarn {

class ViewHistory : public QDialog, private PlotPanelEvents {
  Q_OBJECT

 public:
  explicit ViewHistory(QWidget* parent = nullptr);
  ~ViewHistory() override;

  // Shows the probes (window-modal, without blocking); `reader` reads them from the store.
  // Their rates are the history's trend over `window_days` (0 the whole history), named so.
  void Open(HistoryReader reader, const std::vector<ProbeSummary>& probes,
            int window_days = kDefaultRateWindow);
  // The Probes tab's rates over another window: the legend and trend lines follow them, over
  // the same view. Probes not shown are ignored.
  void PutRates(const std::vector<ProbeSummary>& probes, int window_days);
  // Why the store's last read failed (empty when it did not): the graph then keeps what it
  // showed and says that it is not current.
  void SetReadFailure(std::function<std::string()> failure) { failure_ = std::move(failure); }
  QLabel* staleLabel() const { return lbStale; }

  void RedrawGraph();
  void ViewAll();
  void SetDragOpt(int opt);
  void SaveGraph();

  HistoryView& view() { return *view_; }
  QWidget* plotPanel() const { return pnGrp; }
  QLabel* readout() const { return zoom_.lbValue; }
  // Replaces the modal run of the save dialog (tests); returns true for OK.
  std::function<bool(QFileDialog*)> exec_save_dialog;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void InitializeComponent();
  void pnGrp_Paint() override;
  void pnGrp_Resize() override;
  void pnGrp_MouseDown(int button, int x, int y) override;
  void pnGrp_MouseMove(int button, int x, int y) override;
  void pnGrp_MouseUp(int button, int x, int y) override;
  void pnGrp_MouseWheel(int delta, int x, int y) override;
  void chk_CheckedChanged();

  // Shows or hides the line that says the graph is not current.
  void PutStale();

  std::unique_ptr<HistoryView> view_;
  std::function<std::string()> failure_;
  QLabel* lbStale;
  std::vector<ProbeSummary> probes_;
  int window_days_ = kDefaultRateWindow;

  QWidget* pnGrp;
  ZoomBar zoom_;
  QPushButton* btnSave;
  QPushButton* btnClose;
  LastFolder picture_folder_;  // where the next save starts
};

}  // namespace tarn
