// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's events: added on the plant tree or at a time of the history graph, edited
// and removed from the graph, marked on it, and chosen to show the rates before and after.
#include "common/code_page.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "history/coupon_marks.h"
#include "history/event_figures.h"
#include "history/event_marks.h"
#include "history/probe_figures.h"
#include "history/ui/event_dialog.h"
#include "history/ui/point_table_model.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"

namespace tarn {

namespace {

QString Narrow(const std::string& s) {
  return FromUtf8(NarrowToUtf8(s));
}

}  // namespace

HistoryStore* Probes::WritableStore() {
  HistoryStore* s = store();
  if (s == nullptr) return nullptr;
  if (const QString why = ReadOnlyReason(); !why.isEmpty()) {
    ShowError(this, why);
    return nullptr;
  }
  return s;
}

const PointSummary* Probes::PointOfProbe(int64_t probe_id) const {
  for (const PointSummary& p : points_model_->points()) {
    if (!p.probes.empty() && p.probes.back().probe_id == probe_id) return &p;
  }
  for (const PointSummary& p : points_model_->points()) {
    for (const PointProbe& m : p.probes) {
      if (m.probe_id == probe_id) return &p;
    }
  }
  return nullptr;
}

void Probes::GraphOpened(int64_t point_id) {
  const PointSummary* point = point_id != 0 ? PointWithId(point_id) : nullptr;
  graph_point_ = point != nullptr ? point->id : 0;
  graph_path_ = point != nullptr ? point->path : std::string();
  PutGraphEvents();
}

void Probes::PutGraphEvents() {
  HistoryStore* s = store();
  std::vector<GraphMark> marks = GraphFlagMarks();
  if (s == nullptr || graph_point_ == 0) {
    fmHist->PutEvents(std::move(marks));
    return;
  }
  EventFilter filter;
  filter.path = graph_path_;
  std::vector<GraphMark> events = EventMarks(s->ListEvents(filter));
  marks.insert(marks.end(), events.begin(), events.end());
  if (fmHist->ShowsPoint()) {
    // The point's coupons beside its probes, on the same metal-loss axis.
    const PointSummary* point = PointWithId(graph_point_);
    fmHist->view().coupons = point != nullptr
                                 ? CouponMarks(s->ListCoupons({}), graph_point_,
                                               IsMillimetreProbe(point->current.header))
                                 : std::vector<GraphCoupon>{};
  }
  fmHist->PutEvents(std::move(marks));
  if (fmHist->chosenEvent() != 0) ChooseGraphEvent(fmHist->chosenEvent());
}

bool Probes::RunEventDialog(const HistoryEvent& event, HistoryEvent* entered) {
  fmEvent->Init(event);
  const bool ok =
      exec_event_dialog ? exec_event_dialog(fmEvent) : fmEvent->exec() == QDialog::Accepted;
  if (ok) *entered = fmEvent->event();
  return ok;
}

void Probes::AddEventOn(const std::string& path, HistoryTime at) {
  HistoryStore* s = WritableStore();
  if (s == nullptr) return;
  HistoryEvent event;
  event.time = at;
  event.path = path;
  event.kind = EventKind::kInhibitor;
  HistoryEvent entered;
  if (!RunEventDialog(event, &entered)) return;
  int64_t id = 0;
  if (const Status st = s->AddEvent(entered, &id); !st) {
    ShowError(this, Narrow(st.message));
    return;
  }
  PutStatus(QStringLiteral("Event added on %1").arg(Narrow(entered.path)));
  PutGraphEvents();
}

std::optional<HistoryEvent> Probes::EventOn(HistoryStore& s, const std::string& path,
                                            int64_t event_id) {
  EventFilter filter;
  filter.path = path;
  for (const HistoryEvent& e : s.ListEvents(filter)) {
    if (e.id == event_id) return e;
  }
  return std::nullopt;
}

void Probes::EditGraphEvent(int64_t event_id) {
  EditEventOf(graph_path_, event_id);
}

void Probes::RemoveGraphEvent(int64_t event_id) {
  RemoveEventOf(graph_path_, event_id);
}

void Probes::EditEventOf(const std::string& path, int64_t event_id) {
  HistoryStore* s = WritableStore();
  if (s == nullptr) return;
  const std::optional<HistoryEvent> e = EventOn(*s, path, event_id);
  HistoryEvent entered;
  if (!e || !RunEventDialog(*e, &entered)) return;
  if (const Status st = s->EditEvent(entered); !st) ShowError(this, Narrow(st.message));
  PutGraphEvents();
}

void Probes::RemoveEventOf(const std::string& path, int64_t event_id) {
  HistoryStore* s = WritableStore();
  if (s == nullptr) return;
  const std::optional<HistoryEvent> e = EventOn(*s, path, event_id);
  if (!e) return;
  const QString what = FromUtf8(EventText(*e));
  if (!AskConfirm(this, QStringLiteral("Remove the event %1?").arg(what), /*default_no=*/true))
    return;
  if (const Status st = s->RemoveEvent(event_id); !st) ShowError(this, Narrow(st.message));
  if (fmHist->chosenEvent() == event_id) fmHist->PutChosenEvent(std::nullopt);
  PutGraphEvents();
}

void Probes::ChooseGraphEvent(int64_t event_id) {
  HistoryStore* s = store();
  if (s == nullptr || graph_point_ == 0) return;
  for (const EventFigure& f : s->EventFigures(fmHist->eventDays(), graph_path_)) {
    if (f.event.id == event_id && f.point_id == graph_point_) {
      fmHist->PutChosenEvent(f);
      return;
    }
  }
  fmHist->PutChosenEvent(std::nullopt);
}

}  // namespace tarn
