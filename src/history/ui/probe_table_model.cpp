// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/probe_table_model.h"

#include <QBrush>
#include <QColor>
#include <QMimeData>
#include <algorithm>

#include "common/date_time.h"
#include "common/ui/locale_number.h"
#include "common/ui/qt_text.h"
#include "graph/grp_values.h"
#include "history/history_graph.h"
#include "history/probe_figures.h"
#include "history/ui/plant_tree.h"

namespace tarn {

namespace {

const char* const kHeaders[] = {"Tag",      "Serial No",     "Probe Type",   "Data Type",
                                "Readings", "First Reading", "Last Reading", "Latest Value",
                                "Rate",     "Consumed %",    "Element End",  "Status"};
static_assert(std::size(kHeaders) == ProbeTableModel::kColumnCount);

QString Narrow(const std::string& s) {
  return Chars2SysStr(s.c_str());
}

// To the minute: the seconds would only widen a table that must show its Status column.
QString TimeText(HistoryTime t) {
  return FromUtf8(DateTime2Str(DateTime{t * kTicksPerSecond})).left(16);
}

// "Metal Loss (mils)" -> "Metal Loss" and "mils".
void SplitTitle(const std::string& title, QString* quantity, QString* unit) {
  const QString t = FromUtf8(title);
  const int open = t.indexOf(QLatin1Char('('));
  *quantity = open < 0 ? t : t.left(open).trimmed();
  *unit = open < 0 ? QString() : t.mid(open + 1).chopped(1);
}

}  // namespace

ProbeTableModel::ProbeTableModel(QObject* parent) : QAbstractTableModel(parent) {}

QString ProbeTableModel::ValueUnit(const ProbeSummary& p) {
  QString quantity, unit;
  SplitTitle(HistoryYTitle(p), &quantity, &unit);
  return unit;
}

void ProbeTableModel::SetProbes(std::vector<ProbeSummary> probes, int window_days) {
  beginResetModel();
  probes_ = std::move(probes);
  window_days_ = window_days;
  endResetModel();
}

QString ProbeTableModel::NaturalKey(const QString& text) {
  // Each run of digits is padded to one width, so that plain text order is number order.
  constexpr int kWidth = 20;
  QString key;
  QString digits;
  auto flush = [&] {
    if (digits.isEmpty()) return;
    while (digits.size() > 1 && digits.front() == QLatin1Char('0')) digits.remove(0, 1);
    key += QString(std::max<qsizetype>(kWidth - digits.size(), 0), QLatin1Char('0')) + digits;
    digits.clear();
  };
  for (const QChar c : text) {
    if (c.isDigit()) {
      digits += c;
      continue;
    }
    flush();
    key += c.toLower();
  }
  flush();
  return key;
}

QString ProbeTableModel::StatusText(const ProbeSummary& p) {
  if (KindOfSeries(p.key.data_type) == SeriesKind::kOther) return QStringLiteral("\u2013");
  switch (p.state) {
    case ProbeState::kWarning:
      return QStringLiteral("Warning");
    case ProbeState::kAlarm:
      return QStringLiteral("Alarm");
    default:
      return QStringLiteral("OK");
  }
}

int ProbeTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(probes_.size());
}

int ProbeTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QString ProbeTableModel::Text(const ProbeSummary& p, int column) const {
  QString quantity, unit;
  switch (column) {
    case kTag:
      return Narrow(p.key.tag);
    case kSerial:
      return Narrow(p.key.serial);
    case kProbeType:
      return Narrow(p.header.probe_type_str);
    case kDataType:
      SplitTitle(HistoryYTitle(p), &quantity, &unit);
      return quantity;
    case kReadings:
      return QString::number(p.count);
    case kFirst:  // the day is enough here; the tooltip and the graph give the time
      return p.count > 0 ? TimeText(p.first_time).left(10) : QString();
    case kLast:
      return p.count > 0 ? TimeText(p.last_time) : QString();
    case kLatest:
      if (p.count == 0) return {};
      SplitTitle(HistoryYTitle(p), &quantity, &unit);
      return LocaleNumber(p.latest_value, 4) + QLatin1Char(' ') + unit;
    case kRate:
      if (!p.rate) return {};
      return LocaleNumber(*p.rate, 4) + QLatin1Char(' ') + FromUtf8(p.rate_unit);
    case kConsumed:
      return p.consumed ? LocaleNumber(*p.consumed * 100.0, 1) : QString();
    case kEnd:
      if (p.consumed && *p.consumed >= 1.0) return QStringLiteral("used up");
      if (p.end_time) return TimeText(*p.end_time).left(10);
      return p.consumed ? QStringLiteral("\u2013") : QString();
    case kStatus:
      return StatusText(p);
    default:
      return {};
  }
}

QVariant ProbeTableModel::SortKey(const ProbeSummary& p, int column) const {
  // Missing figures sort below every number.
  constexpr double kNone = -1e300;
  switch (column) {
    case kReadings:
      return QVariant::fromValue<qlonglong>(p.count);
    case kFirst:
      return QVariant::fromValue<qlonglong>(p.first_time);
    case kLast:
      return QVariant::fromValue<qlonglong>(p.last_time);
    case kLatest:
      return p.latest_value;
    case kRate:
      return p.rate ? *p.rate : kNone;
    case kConsumed:
      return p.consumed ? *p.consumed : kNone;
    case kEnd:
      return p.end_time ? static_cast<double>(*p.end_time) : kNone;
    case kStatus:
      return KindOfSeries(p.key.data_type) == SeriesKind::kOther ? -1 : static_cast<int>(p.state);
    case kTag:
    case kSerial:
      return NaturalKey(Text(p, column));
    default:
      return Text(p, column).toLower();
  }
}

QVariant ProbeTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const ProbeSummary& p = probe(index.row());
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return Text(p, column);
    case kSortRole:
      return SortKey(p, column);
    case kFilterRole:
      return Narrow(p.key.tag) + QLatin1Char(' ') + Narrow(p.key.serial);
    case Qt::TextAlignmentRole:
      if (column >= kReadings && column <= kConsumed && column != kFirst && column != kLast)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      if (column != kStatus) return {};
      if (KindOfSeries(p.key.data_type) == SeriesKind::kOther) return {};
      switch (p.state) {
        case ProbeState::kAlarm:
          return QBrush(QColor(0xF4, 0x8F, 0x8F));
        case ProbeState::kWarning:
          return QBrush(QColor(0xFF, 0xD5, 0x6B));
        default:
          return QBrush(QColor(0xB9, 0xE4, 0xB9));
      }
    case Qt::ToolTipRole:
      return ToolTip(p, column);
    default:
      return {};
  }
}

QVariant ProbeTableModel::ToolTip(const ProbeSummary& p, int column) const {
  // Tag and data type may be cut short to fit the window: the tooltip has them whole.
  switch (column) {
    case kTag:
      return FromUtf8(ProbeName(p));
    case kDataType:
      return FromUtf8(HistoryYTitle(p));
    case kFirst:
      return p.count > 0 ? TimeText(p.first_time) : QVariant();
    case kEnd:
      if (p.consumed && *p.consumed >= 1.0)
        return QStringLiteral("The latest metal loss has reached the probe life.");
      if (p.consumed && !p.end_time && p.rate && *p.rate <= 0.0)
        return QStringLiteral("No end date: the rate (trend) over the window is zero or negative.");
      if (p.consumed && !p.end_time && !p.rate)
        return QStringLiteral("No end date: the window holds too few readings for a rate.");
      return {};
    case kStatus:
      if (KindOfSeries(p.key.data_type) == SeriesKind::kOther)
        return QStringLiteral("No limits apply to potential or current readings.");
      return p.state_reason.empty() ? QVariant() : QVariant(FromUtf8(p.state_reason));
    default:
      return {};
  }
}

QVariant ProbeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= kColumnCount) return {};
  if (section == kRate) return FromUtf8(RateColumnTitle(window_days_));
  return QString::fromLatin1(kHeaders[section]);
}

Qt::ItemFlags ProbeTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  return index.isValid() ? f | Qt::ItemIsDragEnabled : f;
}

QStringList ProbeTableModel::mimeTypes() const {
  return {QString::fromLatin1(kProbeIdsMime)};
}

QMimeData* ProbeTableModel::mimeData(const QModelIndexList& indexes) const {
  std::vector<int64_t> ids;
  for (const QModelIndex& index : indexes) {
    if (!index.isValid() || index.row() >= rowCount()) continue;
    const int64_t id = probe(index.row()).id;
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  return ProbeIdsMime(ids);
}

}  // namespace tarn
