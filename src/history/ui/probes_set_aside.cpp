// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's readings set aside: the stretch in view of the history graph set aside with a
// reason or restored, on the probes shown or on the probes of the point shown.
#include <QInputDialog>
#include <functional>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "history/history_graph.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"

namespace tarn {

namespace {

QString Narrow(const std::string& s) {
  return FromUtf8(NarrowToUtf8(s));
}

QString TimeText(HistoryTime t) {
  return FromUtf8(DateTime2Str(DateTime{t * kTicksPerSecond}));
}

}  // namespace

std::vector<SetAsideStretch> Probes::GraphSetAside(int64_t id, bool point) {
  HistoryStore* s = store();
  if (s == nullptr) return {};
  if (!point) return s->ListSetAside(id);
  const PointSummary* p = PointWithId(id);
  return p != nullptr ? PointStretches(*p, s->ListSetAside(0)) : std::vector<SetAsideStretch>{};
}

std::vector<SetAsideStretch> Probes::GraphStretches(HistoryTime from, HistoryTime to) const {
  std::vector<SetAsideStretch> out;
  if (fmHist->ShowsPoint()) {
    // Each probe of the point over the part of the stretch it counts there.
    const PointSummary* point =
        fmHist->shownProbes().empty() ? nullptr : PointWithId(fmHist->shownProbes().front().id);
    if (point == nullptr) return out;
    std::vector<SetAsideStretch> whole;
    for (const PointProbe& m : point->probes) whole.push_back({0, m.probe_id, from, to});
    return PointStretches(*point, whole);
  }
  for (const ProbeSummary& p : fmHist->shownProbes()) out.push_back({0, p.id, from, to});
  return out;
}

void Probes::SetAsideInGraph(HistoryTime from, HistoryTime to) {
  HistoryStore* s = WritableStore();
  if (s == nullptr) return;
  const std::vector<SetAsideStretch> stretches = GraphStretches(from, to);
  if (stretches.empty()) return;
  QInputDialog dialog(this);
  dialog.setObjectName(QStringLiteral("setAsideDialog"));
  dialog.setWindowTitle(QStringLiteral("Set aside readings"));
  dialog.setLabelText(
      QStringLiteral("Why are the readings from %1 to %2 set aside (an upset, a probe reset...)?")
          .arg(TimeText(from), TimeText(to)));
  const bool ok =
      exec_input_dialog ? exec_input_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  const std::string reason = Utf8ToNarrow(ToUtf8(dialog.textValue().trimmed()));
  if (!ok) return;
  const int64_t total = EachStretch(stretches, [&](const SetAsideStretch& st, int64_t* changed) {
    return s->SetAside(st.probe_id, st.from, st.to, reason, changed);
  });
  ReadingsChanged(QStringLiteral("%1 set aside").arg(ReadingCount(total)));
}

void Probes::RestoreInGraph(HistoryTime from, HistoryTime to) {
  HistoryStore* s = WritableStore();
  if (s == nullptr) return;
  const int64_t total =
      EachStretch(GraphStretches(from, to), [&](const SetAsideStretch& st, int64_t* changed) {
        return s->Restore(st.probe_id, st.from, st.to, changed);
      });
  ReadingsChanged(QStringLiteral("%1 restored").arg(ReadingCount(total)));
}

int64_t Probes::EachStretch(const std::vector<SetAsideStretch>& stretches,
                            const std::function<Status(const SetAsideStretch&, int64_t*)>& act) {
  // Up to the first refusal, which is shown; what went before stays done and counted.
  int64_t total = 0;
  for (const SetAsideStretch& st : stretches) {
    int64_t changed = 0;
    if (const Status status = act(st, &changed); !status) {
      ShowError(this, Narrow(status.message));
      break;
    }
    total += changed;
  }
  return total;
}

QString Probes::ReadingCount(int64_t n) {
  return n == 1 ? QStringLiteral("1 reading") : QStringLiteral("%1 readings").arg(n);
}

void Probes::ReadingsChanged(const QString& status) {
  // Rates, states and event figures all leave the readings set aside out.
  PutProbes();
  fmHist->RereadReadings();
  PutGraphEvents();
  PutStatus(status);
}

}  // namespace tarn
