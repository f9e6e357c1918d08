// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/flags_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "common/ui/widget_builders.h"

namespace tarn {

FlagsDialog::FlagsDialog(QWidget* parent) : QDialog(parent), model_(new QStandardItemModel(this)) {
  setObjectName(QStringLiteral("Flags"));
  setWindowTitle(QStringLiteral("Falls flagged for review"));
  resize(820, 360);
  model_->setHorizontalHeaderLabels({QStringLiteral("Tag"), QStringLiteral("Serial"),
                                     QStringLiteral("Point"), QStringLiteral("Time"),
                                     QStringLiteral("Fall"), QStringLiteral("Readings")});
  gFlags = new QTableView(this);
  gFlags->setObjectName(QStringLiteral("gFlags"));
  gFlags->setModel(model_);
  gFlags->setSelectionBehavior(QAbstractItemView::SelectRows);
  gFlags->setSelectionMode(QAbstractItemView::SingleSelection);
  gFlags->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gFlags->setWordWrap(false);
  gFlags->verticalHeader()->setVisible(false);
  gFlags->horizontalHeader()->setStretchLastSection(true);
  lbFlags = MakeLabel("lbFlags", QString(), this);
  lbFlags->setWordWrap(true);
  btnClose = MakeButton("btnClose", QStringLiteral("&Close"), this, "Close the list (Esc)");
  btnClose->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lbFlags, 1);
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gFlags, 1);
  layout->addLayout(buttons);
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
  connect(gFlags, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    const auto row = static_cast<std::size_t>(index.row());
    if (index.isValid() && row < probe_ids_.size()) emit GraphAsked(probe_ids_[row]);
  });
}

void FlagsDialog::PutFlags(const std::vector<FlagRow>& rows) {
  model_->removeRows(0, model_->rowCount());
  probe_ids_.clear();
  for (const FlagRow& r : rows) {
    QList<QStandardItem*> items;
    for (const QString& text : {r.tag, r.serial, r.point, r.time, r.fall, r.readings}) {
      auto* item = new QStandardItem(text);
      item->setToolTip(text);
      items << item;
    }
    model_->appendRow(items);
    probe_ids_.push_back(r.probe_id);
  }
  gFlags->resizeColumnsToContents();
  lbFlags->setText(rows.empty()
                       ? QStringLiteral("No fall has been flagged.")
                       : QStringLiteral("%1 falls too large to be corrosion, flagged by their "
                                        "imports; never set aside unless you do. Double-click "
                                        "one for its probe's graph.")
                             .arg(rows.size()));
}

}  // namespace tarn
