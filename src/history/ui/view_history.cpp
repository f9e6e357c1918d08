// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/view_history.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>

#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"
#include "graph/ui/graph_picture.h"
#include "graph/ui/qimage_surface.h"
#include "history/event_figures.h"
#include "history/event_marks.h"
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
  // The days either side of an event its rates compare: the graph's own, 30 at first.
  auto* days_row = new QWidget(this);
  auto* days_layout = new QHBoxLayout(days_row);
  days_layout->setContentsMargins(0, 0, 0, 0);
  sbDays = new QSpinBox(days_row);
  sbDays->setObjectName(QStringLiteral("sbDays"));
  sbDays->setRange(1, kMaxEventDays);
  sbDays->setValue(kDefaultEventDays);
  sbDays->setSuffix(QStringLiteral(" days"));
  sbDays->setToolTip(QStringLiteral("The days before and after an event whose rates are compared"));
  days_layout->addWidget(
      MakeLabel("lbDays", QStringLiteral("Rates before and after an event over"), days_row));
  days_layout->addWidget(sbDays);
  days_layout->addStretch(1);
  AddAbovePlot(days_row);
  days_row->show();
  connect(sbDays, &QSpinBox::valueChanged, this, [this] {
    if (chosen_event_ != 0) emit EventChosen(chosen_event_);
  });
  plotPanel()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(plotPanel(), &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PlotMenu(at.x(), plotPanel()->mapToGlobal(at)); });
  plotPanel()->installEventFilter(this);
}

int ViewHistory::eventDays() const {
  return sbDays->value();
}

void ViewHistory::PutMarks() {
  std::vector<GraphMark> marks = replacement_marks_;
  marks.insert(marks.end(), event_marks_.begin(), event_marks_.end());
  std::sort(marks.begin(), marks.end(),
            [](const GraphMark& a, const GraphMark& b) { return a.time < b.time; });
  view_->marks = std::move(marks);
}

void ViewHistory::PutEvents(std::vector<GraphMark> events) {
  event_marks_ = std::move(events);
  PutMarks();
  if (isVisible()) RedrawGraph();
}

void ViewHistory::PutChosenEvent(const std::optional<EventFigure>& figure) {
  chosen_event_ = figure ? figure->event.id : 0;
  if (figure) {
    view_->PutEventSides(figure->event.time, eventDays(), figure->before, figure->after,
                         EventReadout(*figure));
  } else {
    view_->PutEventSides(0, 0, std::nullopt, std::nullopt, std::string());
  }
  if (isVisible()) RedrawGraph();
}

bool ViewHistory::ChooseEventAt(int px) {
  const int mark = view_->MarkNear(px);
  if (mark < 0 || view_->marks[static_cast<size_t>(mark)].event_id == 0) return false;
  emit EventChosen(view_->marks[static_cast<size_t>(mark)].event_id);
  return true;
}

void ViewHistory::PlotMenu(int px, const QPoint& global) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("graphMenu"));
  const qint64 at = view_->TimeAt(px);
  const int mark = view_->MarkNear(px);
  const int64_t event = mark >= 0 ? view_->marks[static_cast<size_t>(mark)].event_id : int64_t{0};
  menu.addAction(QStringLiteral("Add &event here..."), this, [this, at] { emit AddEventAt(at); });
  if (event != 0) {
    menu.addAction(QStringLiteral("&Rates before and after this event"), this,
                   [this, event] { emit EventChosen(event); });
    menu.addAction(QStringLiteral("Edi&t this event..."), this,
                   [this, event] { emit EditEventAsked(event); });
    menu.addAction(QStringLiteral("Re&move this event"), this,
                   [this, event] { emit RemoveEventAsked(event); });
  }
  menu.addSeparator();
  // The stretch in view: zoom to it first.
  const HistoryTime from = view_->TimeAt(view_->engine.gX1), to = view_->TimeAt(view_->engine.gX2);
  menu.addAction(QStringLiteral("&Set aside the readings in view..."), this,
                 [this, from, to] { emit SetAsideAsked(from, to); });
  menu.addAction(QStringLiteral("Restore the readings in &view"), this,
                 [this, from, to] { emit RestoreAsked(from, to); });
  if (exec_menu) {
    exec_menu(&menu);
  } else {
    menu.exec(global);
  }
}

bool ViewHistory::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plotPanel()) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
      pressed_at_ = mouse->position().toPoint();
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
        (mouse->position().toPoint() - pressed_at_).manhattanLength() <= 3)
      ChooseEventAt(pressed_at_.x());
  }
  return GraphFrame::eventFilter(watched, event);
}

ViewHistory::~ViewHistory() = default;

void ViewHistory::NewView(HistoryReader reader, int window_days) {
  if (isVisible()) close();
  view_ = std::make_unique<HistoryGraph>(std::move(reader), QImageSurface::Factory());
  view_->read_failure = failure_;
  view_->rate_window = window_days;
  if (set_aside_source_) {
    view_->set_aside_of = [this](int64_t id) { return set_aside_source_(id, point_); };
  }
}

void ViewHistory::RereadReadings() {
  if (!isVisible()) return;
  view_->Reread();
  RedrawGraph();
}

void ViewHistory::Open(HistoryReader reader, const std::vector<ProbeSummary>& probes,
                       int window_days) {
  NewView(std::move(reader), window_days);
  probes_ = probes;
  window_days_ = window_days;
  point_ = false;
  replacement_marks_.clear();
  event_marks_.clear();
  chosen_event_ = 0;
  PutMarks();
  open();
}

void ViewHistory::OpenPoint(HistoryReader reader, const ProbeSummary& point,
                            std::vector<GraphMark> marks, int window_days) {
  NewView(std::move(reader), window_days);
  view_->name_label = "Point";
  replacement_marks_ = std::move(marks);
  event_marks_.clear();
  chosen_event_ = 0;
  PutMarks();
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
