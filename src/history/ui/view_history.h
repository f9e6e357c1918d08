// SPDX-License-Identifier: GPL-3.0-or-later
// The history graph window: one probe's whole history or several probes laid over each other,
// in the graph frame (zoom, wheel, read-out, Save, Print, Setup) around HistoryGraph.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graph/ui/graph_frame.h"
#include "history/history_graph.h"
#include "history/rate_window.h"

class QLabel;
class QMenu;
class QSpinBox;
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
  // The probes shown (for a point's graph, the point as PointAsProbe gives it).
  const std::vector<ProbeSummary>& shownProbes() const { return probes_; }
  // The Probes tab's rates over another window: the legend and trend lines follow them, over
  // the same view. Probes not shown are ignored.
  void PutRates(const std::vector<ProbeSummary>& probes, int window_days);
  // Why the store's last read failed (empty when it did not): the graph then keeps what it
  // showed and says that it is not current.
  void SetReadFailure(std::function<std::string()> failure) { failure_ = std::move(failure); }
  QLabel* staleLabel() const { return lbStale; }

  HistoryGraph& view() { return *view_; }
  // Where every graph opened finds the stretches set aside: of a probe (point false) or of a
  // point (true), by id.
  using SetAsideSource = std::function<std::vector<SetAsideStretch>(int64_t id, bool point)>;
  void SetSetAsideSource(SetAsideSource source) { set_aside_source_ = std::move(source); }
  // The readings shown were set aside or restored: read again and redraw.
  void RereadReadings();

  // The graph's marks of events, and the chosen one's rates before and after with the trends
  // either side (none chosen: no segments).
  void PutEvents(std::vector<GraphMark> events);
  void PutChosenEvent(const std::optional<EventFigure>& figure);
  int64_t chosenEvent() const { return chosen_event_; }
  // The days compared either side of an event (1 to 365).
  int eventDays() const;
  QSpinBox* daysBox() const { return sbDays; }
  // The panel's context menu for the column px: run through this hook when set (tests).
  void PlotMenu(int px, const QPoint& global);
  std::function<void(QMenu*)> exec_menu;
  // Chooses the event marked near column px, as a click there does; false when none is.
  bool ChooseEventAt(int px);

 signals:
  // Asked from the graph's menu: an event at the time under the pointer, an event's edit or
  // removal, an event chosen (or the days changed), and the readings in view set aside or
  // restored.
  void AddEventAt(qint64 time);
  void EditEventAsked(qint64 event_id);
  void RemoveEventAsked(qint64 event_id);
  void EventChosen(qint64 event_id);
  void SetAsideAsked(qint64 from, qint64 to);
  void RestoreAsked(qint64 from, qint64 to);

 protected:
  PlotView& plot() override { return *view_; }
  void StartView(int w, int h) override;
  void StopView() override;
  uint32_t DataColor() override { return view_->data_color(); }
  uint32_t TrendColor() override { return view_->trend_color(); }
  void SetupConfirmed(uint32_t data_color, uint32_t trend_color) override;
  // Shows or hides the line that says the graph is not current.
  void Drawn() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<HistoryGraph> view_;
  std::function<std::string()> failure_;
  SetAsideSource set_aside_source_;
  QLabel* lbStale;
  std::vector<ProbeSummary> probes_;
  int window_days_ = kDefaultRateWindow;
  bool point_ = false;
  QSpinBox* sbDays;
  std::vector<GraphMark> replacement_marks_, event_marks_;
  int64_t chosen_event_ = 0;
  QPoint pressed_at_;  // where the left button went down: a click, not a drag, chooses
  void PutMarks();
  void NewView(HistoryReader reader, int window_days);
  void PutShownRates(const std::vector<ProbeSummary>& figures, int window_days);
};

}  // namespace tarn
