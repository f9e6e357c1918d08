// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ui/anl_models.h"

#include "analysis/analysis_export.h"
#include "common/ui/locale_number.h"
#include "common/ui/qt_text.h"

namespace tarn {

ReadingModel::ReadingModel(const NembraReader& reader, QObject* parent)
    : QAbstractTableModel(parent), reader_(reader) {}

void ReadingModel::SetRows(int rows) {
  beginResetModel();
  rows_ = std::max(rows, 0);
  endResetModel();
}

void ReadingModel::SetHeaders(const QString& date_header, const QString& value_header) {
  headers_[0] = date_header;
  headers_[1] = value_header;
  emit headerDataChanged(Qt::Horizontal, 0, 1);
}

QString ReadingModel::DateText(int row) const {
  return Chars2SysStr(ReadingTimeText(reader_, row).c_str());
}

QString ReadingModel::ValueText(int row) const {
  return LocaleText(ReadingValueText(reader_, row));
}

int ReadingModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int ReadingModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant ReadingModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  if (role == Qt::DisplayRole) {
    return index.column() == 0 ? DateText(index.row()) : ValueText(index.row());
  }
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(index.column() == 0 ? Qt::AlignCenter
                                                   : (Qt::AlignRight | Qt::AlignVCenter));
  }
  return {};
}

QVariant ReadingModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section > 1) return {};
  if (role == Qt::DisplayRole) return headers_[section];
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignCenter);
  return {};
}

void InfoModel::SetRows(QVector<QPair<QString, QString>> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int InfoModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int InfoModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant InfoModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_.size()) return {};
  if (role == Qt::DisplayRole) {
    const auto& row = rows_.at(index.row());
    return index.column() == 0 ? row.first : row.second;
  }
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

QVariant InfoModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return QStringLiteral("Name");
  if (section == 1) return QStringLiteral("Value");
  return {};
}

}  // namespace tarn
