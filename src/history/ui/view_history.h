// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph window: one probe's whole history or several probes laid over each other,
// in the graph frame (zoom, wheel, read-out, Save, Print, Setup) around HistoryGraph.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graph/ui/graph_frame.h"
#include "history/history_graph.h"
#include "history/rate_window.h"

class QLabel;
class QWidget;

namespace tarn {

class ViewHistory : public GraphFrame {
  Q_OBJECT

 public:
  explicit ViewHistory(QWidget* parent = nullptr);
  ~ViewHistory() override;

  // Shows the probes (window-modal, without blocking); `reader` reads them from the store.
  // Their rates are the history's trend over `window_days` (0 the whole history), named so.
  void Open(HistoryReader reader, const std::vector<ProbeSummary>& probes,
            int window_days = kDefaultRateWindow);
  // Shows a monitoring point's series (cumulative across replacements for metal loss), drawn as
  // one probe named by the point's path, with a mark at each replacement.
  void OpenPoint(HistoryReader reader, const ProbeSummary& point, std::vector<GraphMark> marks,
                 int window_days = kDefaultRateWindow);
  // The points' figures over the tab's window (each as PointAsProbe gives it), for a point's
  // graph as PutRates is for probes'. Each is ignored by the other kind of graph.
  void PutPointRates(const std::vector<ProbeSummary>& points, int window_days);
  bool ShowsPoint() const { return point_; }
  // The Probes tab's rates over another window: the legend and trend lines follow them, over
  // the same view. Probes not shown are ignored.
  void PutRates(const std::vector<ProbeSummary>& probes, int window_days);
  // Why the store's last read failed (empty when it did not): the graph then keeps what it
  // showed and says that it is not current.
  void SetReadFailure(std::function<std::string()> failure) { failure_ = std::move(failure); }
  QLabel* staleLabel() const { return lbStale; }

  HistoryGraph& view() { return *view_; }

 protected:
  PlotView& plot() override { return *view_; }
  void StartView(int w, int h) override;
  void StopView() override;
  uint32_t DataColor() override { return view_->data_color(); }
  uint32_t TrendColor() override { return view_->trend_color(); }
  void SetupConfirmed(uint32_t data_color, uint32_t trend_color) override;
  // Shows or hides the line that says the graph is not current.
  void Drawn() override;

 private:
  std::unique_ptr<HistoryGraph> view_;
  std::function<std::string()> failure_;
  QLabel* lbStale;
  std::vector<ProbeSummary> probes_;
  int window_days_ = kDefaultRateWindow;
  bool point_ = false;
  void PutShownRates(const std::vector<ProbeSummary>& figures, int window_days);
};

}  // namespace tarn
