// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only table models of the analysis screen: the reading grid over the graph data set and
// the information grid over the reader's header values, with on-screen numbers in the user's
// format.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

#include "analysis/nembra_reader.h"

namespace tarn {

// gView: one row per stored reading, read from the reader and its graph data set on demand so
// that 65535 rows cost nothing until they are scrolled into view.
class ReadingModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ReadingModel(const NembraReader& reader, QObject* parent = nullptr);

  // Shows the first `rows` readings (0 empties the grid).
  void SetRows(int rows);
  void SetHeaders(const QString& date_header, const QString& value_header);
  QString DateText(int row) const;
  QString ValueText(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const NembraReader& reader_;
  int rows_ = 0;
  QString headers_[2];
};

// gInfo: Name and Value rows of the tag read last.
class InfoModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(QVector<QPair<QString, QString>> rows);
  const QVector<QPair<QString, QString>>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QVector<QPair<QString, QString>> rows_;
};

}  // namespace tarn
