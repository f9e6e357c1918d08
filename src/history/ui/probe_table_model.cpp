#include "history/ui/probe_table_model.h"

#include <QBrush>
#include <QColor>

#include "common/date_time.h"
#include "common/ui/qt_text.h"
#include "graph/grp_values.h"
#include "graph/history_view.h"
#include "graph/ui/locale_number.h"

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

void ProbeTableModel::SetProbes(std::vector<ProbeSummary> probes) {
  beginResetModel();
  probes_ = std::move(probes);
  endResetModel();
}

QString ProbeTableModel::StatusText(ProbeState state) {
  switch (state) {
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
    case kFirst:
      return p.count > 0 ? TimeText(p.first_time) : QString();
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
      return p.end_time ? TimeText(*p.end_time).left(10) : QString();
    case kStatus:
      return StatusText(p.state);
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
      return static_cast<int>(p.state);
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
      switch (p.state) {
        case ProbeState::kAlarm:
          return QBrush(QColor(0xF4, 0x8F, 0x8F));
        case ProbeState::kWarning:
          return QBrush(QColor(0xFF, 0xD5, 0x6B));
        default:
          return QBrush(QColor(0xB9, 0xE4, 0xB9));
      }
    case Qt::ToolTipRole:
      if (column == kStatus && !p.state_reason.empty()) return FromUtf8(p.state_reason);
      return {};
    default:
      return {};
  }
}

QVariant ProbeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= kColumnCount) return {};
  return QString::fromLatin1(kHeaders[section]);
}

}  // namespace tarn
