// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's falls flagged for review: counted on the Flags button, listed in their
// dialog, and marked on the history graph of the probe or point they fell on.
#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <limits>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ui/qt_text.h"
#include "history/event_marks.h"
#include "history/history_graph.h"
#include "history/ui/flags_dialog.h"
#include "history/ui/probe_proxy.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"

namespace tarn {

namespace {

QString Narrow(const std::string& s) {
  return FromUtf8(NarrowToUtf8(s));
}

}  // namespace

std::vector<FlagRow> Probes::FlagRows() {
  std::vector<FlagRow> rows;
  HistoryStore* s = store();
  if (s == nullptr) return rows;
  const std::vector<StepDownFlag> flags = s->ListFlags();
  if (flags.empty()) return rows;
  const std::vector<SetAsideStretch> aside = s->ListSetAside(0);
  for (const StepDownFlag& f : flags) {
    FlagRow row;
    row.probe_id = f.probe_id;
    for (int i = 0; i < model_->rowCount(); ++i) {
      const ProbeSummary& p = model_->probe(i);
      if (p.id != f.probe_id) continue;
      row.tag = Narrow(p.key.tag);
      row.serial = Narrow(p.key.serial);
      row.fall = QString::number(f.drop, 'f', 4) + QLatin1Char(' ') + ProbeTableModel::ValueUnit(p);
    }
    if (const PointSummary* point = PointOfProbe(f.probe_id)) row.point = Narrow(point->path);
    row.time = FromUtf8(DateTime2Str(DateTime{f.time * kTicksPerSecond}));
    row.readings = QStringLiteral("kept");
    for (const SetAsideStretch& a : aside) {
      if (a.probe_id == f.probe_id && a.from <= f.time && f.time <= a.to)
        row.readings = QStringLiteral("set aside: ") + FromUtf8(a.reason);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void Probes::PutFlagCount(std::size_t n) {
  btnFlags->setText(n == 0 ? QStringLiteral("&Flags") : QStringLiteral("&Flags (%1)").arg(n));
  btnFlags->setEnabled(n > 0);
}

void Probes::OpenFlags() {
  const std::vector<FlagRow> rows = FlagRows();
  PutFlagCount(rows.size());
  fmFlags->PutFlags(rows);
  fmFlags->open();
}

void Probes::OpenProbeGraph(int64_t probe_id) {
  cbView->setCurrentIndex(0);
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (model_->probe(row).id != probe_id) continue;
    const QModelIndex index = proxy_->mapFromSource(model_->index(row, 0));
    if (!index.isValid()) return;  // filtered out
    gProbes->setCurrentIndex(index);
    OpenGraph();
    return;
  }
}

std::vector<GraphMark> Probes::GraphFlagMarks() {
  HistoryStore* s = store();
  if (s == nullptr || !fmHist->isVisible()) return {};
  const std::vector<StepDownFlag> flags = s->ListFlags();
  if (flags.empty()) return {};
  return FlagMarks(flags, GraphStretches(std::numeric_limits<HistoryTime>::min() / 2,
                                         std::numeric_limits<HistoryTime>::max() / 2));
}

}  // namespace tarn
