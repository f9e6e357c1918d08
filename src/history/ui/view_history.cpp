// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/view_history.h"

#include <QLabel>

#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"
#include "graph/ui/graph_picture.h"
#include "graph/ui/qimage_surface.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

// Save offers the bitmap only, as it always has.
const GraphFrame::Look kLook = {"ViewHistory",
                                "Probe History",
                                kPictureTypes,
                                1,
                                "The graph could not be saved to %1.",
                                true,
                                "Show the whole history again after zooming"};

}  // namespace

ViewHistory::ViewHistory(QWidget* parent)
    : GraphFrame(kLook, parent),
      view_(std::make_unique<HistoryGraph>(HistoryReader(), QImageSurface::Factory())) {
  lbStale = MakeLabel("lbStale", QString(), this);
  lbStale->setWordWrap(true);
  lbStale->setStyleSheet(QStringLiteral("color: firebrick; font-weight: bold;"));
  lbStale->hide();
  AddAbovePlot(lbStale);
}

ViewHistory::~ViewHistory() = default;

void ViewHistory::Open(HistoryReader reader, const std::vector<ProbeSummary>& probes,
                       int window_days) {
  if (isVisible()) close();
  view_ = std::make_unique<HistoryGraph>(std::move(reader), QImageSurface::Factory());
  view_->read_failure = failure_;
  view_->rate_window = window_days;
  probes_ = probes;
  window_days_ = window_days;
  point_ = false;
  open();
}

void ViewHistory::OpenPoint(HistoryReader reader, const ProbeSummary& point,
                            std::vector<GraphMark> marks, int window_days) {
  if (isVisible()) close();
  view_ = std::make_unique<HistoryGraph>(std::move(reader), QImageSurface::Factory());
  view_->read_failure = failure_;
  view_->rate_window = window_days;
  view_->name_label = "Point";
  view_->marks = std::move(marks);
  probes_ = {point};
  window_days_ = window_days;
  point_ = true;
  open();
}

void ViewHistory::PutRates(const std::vector<ProbeSummary>& probes, int window_days) {
  if (!point_) PutShownRates(probes, window_days);
}

void ViewHistory::PutPointRates(const std::vector<ProbeSummary>& points, int window_days) {
  if (point_) PutShownRates(points, window_days);
}

void ViewHistory::PutShownRates(const std::vector<ProbeSummary>& probes, int window_days) {
  if (!isVisible()) return;
  bool changed = window_days != window_days_;
  for (ProbeSummary& shown : probes_) {
    for (const ProbeSummary& p : probes) {
      if (p.id != shown.id) continue;
      changed = changed || p.rate != shown.rate;
      shown = p;
    }
  }
  if (!changed) return;
  window_days_ = window_days;
  view_->rate_window = window_days;
  view_->SetRates(probes_);
  RedrawGraph();
}

void ViewHistory::StartView(int w, int h) {
  view_->SetProbes(probes_, static_cast<uint32_t>(vSetup.data_color),
                   static_cast<uint32_t>(vSetup.trend_color));
  view_->data_line = vSetup.data_line;
  view_->trend_line = vSetup.trend_line;
  view_->gInit(w, h, vSetup.y_low, vSetup.y_high);
}

void ViewHistory::StopView() {
  view_->gClose();
  // The colours chosen in Setup are the graph window's too, as the settings hold one pair.
  vSetup.data_color = static_cast<int32_t>(view_->data_color());
  vSetup.trend_color = static_cast<int32_t>(view_->trend_color());
}

void ViewHistory::SetupConfirmed(uint32_t data_color, uint32_t trend_color) {
  view_->SetupConfirmed(data_color, trend_color, vSetup.data_line, vSetup.trend_line, vSetup.y_low,
                        vSetup.y_high);
}

void ViewHistory::Drawn() {
  const std::string& why = view_->stale();
  if (why.empty()) {
    lbStale->hide();
    return;
  }
  QString text = FromUtf8(why);
  if (!text.startsWith(QStringLiteral("Cannot reach the history")))
    text = QStringLiteral("Cannot reach the history: ") + text;
  lbStale->setText(text +
                   QStringLiteral(" The graph shows what was read before and is not current."));
  lbStale->show();
}

}  // namespace tarn
