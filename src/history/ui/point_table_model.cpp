// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/point_table_model.h"

#include <QBrush>
#include <QColor>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ui/locale_number.h"
#include "common/ui/qt_text.h"
#include "history/point_figures.h"
#include "history/probe_figures.h"
#include "history/ui/plant_tree.h"
#include "history/ui/probe_table_model.h"

namespace tarn {

namespace {

QString Narrow(const std::string& s) {
  return FromUtf8(NarrowToUtf8(s));
}

QString DayText(HistoryTime t) {
  return FromUtf8(DateTime2Str(DateTime{t * kTicksPerSecond})).left(10);
}

QString StateText(ProbeState s) {
  switch (s) {
    case ProbeState::kAlarm:
      return QStringLiteral("Alarm");
    case ProbeState::kWarning:
      return QStringLiteral("Warning");
    default:
      return QStringLiteral("OK");
  }
}

}  // namespace

PointTableModel::PointTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void PointTableModel::SetPoints(std::vector<PointSummary> points) {
  beginResetModel();
  points_ = std::move(points);
  endResetModel();
}

int PointTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(points_.size());
}

int PointTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && section == kValue)
    return QStringLiteral(
        "Metal loss since the point's first probe, carried across replacements; the latest "
        "reading for other points");
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[] = {"Point",       "Probes",       "Tag",
                                        "Serial\nNo",  "Value",        "Rate\n(trend)",
                                        "Consumed\n%", "Element\nEnd", "Status"};
  return QString::fromLatin1(kTitles[section]);
}

QString PointTableModel::Text(const PointSummary& p, int column) const {
  const ProbeSummary& c = p.current;
  switch (column) {
    case kPath:
      return Narrow(p.path);
    case kProbes:
      return QString::number(p.probes.size());
    case kTag:
      return Narrow(c.key.tag);
    case kSerial:
      return Narrow(c.key.serial);
    case kValue:
      return p.count > 0 ? LocaleNumber(p.value, 4) + QLatin1Char(' ') +
                               ProbeTableModel::ValueUnit(p.current)
                         : QString();
    case kRate:
      return p.rate ? LocaleNumber(*p.rate, 4) + QLatin1Char(' ') + FromUtf8(p.rate_unit)
                    : QString();
    case kConsumed:
      return p.consumed ? LocaleNumber(*p.consumed * 100.0, 1) : QString();
    case kEnd:
      if (p.consumed && *p.consumed >= 1.0) return QStringLiteral("used up");
      if (p.end_time) return DayText(*p.end_time);
      return p.consumed ? QStringLiteral("\u2013") : QString();
    case kStatus:
      if (KindOfSeries(c.key.data_type) == SeriesKind::kOther) return QStringLiteral("\u2013");
      return StateText(p.state);
    default:
      return {};
  }
}

QVariant PointTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const PointSummary& p = point(index.row());
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return Text(p, column);
    case kPathRole:
      return Narrow(p.path);
    case kSortRole:
      switch (column) {
        case kProbes:
          return static_cast<qlonglong>(p.probes.size());
        case kValue:
          return p.value;
        case kRate:
          return p.rate ? *p.rate : -1e300;
        case kConsumed:
          return p.consumed ? *p.consumed : -1e300;
        case kEnd:
          return p.end_time ? static_cast<double>(*p.end_time) : -1e300;
        case kStatus:
          return static_cast<int>(p.state);
        case kPath:
        case kTag:
        case kSerial:
          return ProbeTableModel::NaturalKey(Text(p, column));
        default:
          return Text(p, column).toLower();
      }
    case Qt::TextAlignmentRole:
      if (column == kProbes || column == kValue || column == kRate || column == kConsumed)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      if (column != kStatus || KindOfSeries(p.current.key.data_type) == SeriesKind::kOther)
        return {};
      return QBrush(StateColor(p.state));
    case Qt::ToolTipRole:
      if (column == kStatus && !p.state_reason.empty()) return FromUtf8(p.state_reason);
      if (column == kPath || column == kTag) return Narrow(p.path);
      return {};
    default:
      return {};
  }
}

}  // namespace tarn
