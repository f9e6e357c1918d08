// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/conflicts_dialog.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "common/date_time.h"
#include "common/number_text.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"
#include "history/history_graph.h"

namespace tarn {

// One row per value offered: the reading's time, its stored value and file, the offer and its
// file, and which of them the reading holds.
class ConflictTableModel : public QAbstractTableModel {
 public:
  enum Column { kTime, kStored, kStoredFile, kOffered, kOfferedFile, kInUse, kColumns };
  struct Row {
    const ReadingConflicts* reading;
    const ConflictOffer* offer;
  };

  explicit ConflictTableModel(QObject* parent) : QAbstractTableModel(parent) {}

  void SetConflicts(std::vector<ReadingConflicts> list) {
    beginResetModel();
    list_ = std::move(list);
    rows_.clear();
    for (const ReadingConflicts& r : list_) {
      for (const ConflictOffer& o : r.offers) rows_.push_back({&r, &o});
    }
    endResetModel();
  }
  const Row& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : kColumns;
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeads[] = {"Date",    "Stored",     "Stored from",
                                         "Offered", "Offered by", "In use"};
    return QString::fromLatin1(kHeads[section]);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const Row& r = row(index.row());
    auto file = [](const std::string& name) {
      return FromUtf8(name.substr(name.find_last_of('/') + 1));
    };
    auto number = [](double v) { return FromUtf8(FormatPattern(v, 4)); };
    switch (index.column()) {
      case kTime:
        return FromUtf8(DateTime2Str(DateTime{r.reading->time * kTicksPerSecond}));
      case kStored:
        return number(r.reading->stored);
      case kStoredFile:
        return role == Qt::ToolTipRole ? FromUtf8(r.reading->file) : file(r.reading->file);
      case kOffered:
        return number(r.offer->value);
      case kOfferedFile:
        return role == Qt::ToolTipRole ? FromUtf8(r.offer->file) : file(r.offer->file);
      case kInUse:
        return r.offer->in_use                         ? QStringLiteral("offered")
               : r.reading->value == r.reading->stored ? QStringLiteral("stored")
                                                       : QString();
      default:
        return {};
    }
  }

 private:
  std::vector<ReadingConflicts> list_;
  std::vector<Row> rows_;
};

ConflictsDialog::ConflictsDialog(QWidget* parent)
    : QDialog(parent), model_(new ConflictTableModel(this)) {
  setObjectName(QStringLiteral("Conflicts"));
  setWindowTitle(QStringLiteral("Conflicts"));
  resize(820, 420);
  lbConflicts = MakeLabel("lbConflicts", QString(), this);
  lbConflicts->setWordWrap(true);
  gConflicts = new QTableView(this);
  gConflicts->setObjectName(QStringLiteral("gConflicts"));
  gConflicts->setModel(model_);
  gConflicts->setSelectionBehavior(QAbstractItemView::SelectRows);
  gConflicts->setSelectionMode(QAbstractItemView::SingleSelection);
  gConflicts->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gConflicts->verticalHeader()->setVisible(false);
  gConflicts->horizontalHeader()->setStretchLastSection(true);
  btnKeep = MakeButton("btnKeep", QStringLiteral("&Keep stored"), this,
                       "Keep the value first stored for the chosen reading");
  btnTake = MakeButton("btnTake", QStringLiteral("&Take offered"), this,
                       "Put the chosen offered value into the reading");
  btnClose =
      MakeButton("btnClose", QStringLiteral("&Close"), this, "Close the list of conflicts (Esc)");
  for (QPushButton* b : {btnKeep, btnTake, btnClose}) b->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnKeep);
  buttons->addWidget(btnTake);
  buttons->addStretch(1);
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbConflicts);
  layout->addWidget(gConflicts, 1);
  layout->addLayout(buttons);
  connect(btnKeep, &QPushButton::clicked, this, [this] { Choose(false); });
  connect(btnTake, &QPushButton::clicked, this, [this] { Choose(true); });
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
  connect(gConflicts->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SetEnable(); });
  SetEnable();
}

ConflictsDialog::~ConflictsDialog() = default;

void ConflictsDialog::Open(std::function<HistoryStore*()> store, const ProbeSummary& probe) {
  store_ = std::move(store);
  probe_ = probe;
  setWindowTitle(QStringLiteral("Conflicts of ") + FromUtf8(ProbeName(probe)));
  model_->SetConflicts({});
  PutConflicts();
  open();
}

void ConflictsDialog::PutConflicts() {
  HistoryStore* store = Store();
  const int current = gConflicts->currentIndex().row();
  std::vector<ReadingConflicts> list;
  Status st = Status::Fail("the history is not open.");
  if (store != nullptr) {
    list = store->ReviewConflicts(probe_.id);
    st = store->LastError();
  }
  if (!st) {
    // What was listed stays, said to be out of date.
    lbConflicts->setText(
        QStringLiteral("Cannot reach the history: %1 The list below is not current.")
            .arg(FromUtf8(st.message)));
    SetEnable();
    return;
  }
  std::size_t offers = 0;
  for (const ReadingConflicts& r : list) offers += r.offers.size();
  model_->SetConflicts(std::move(list));
  lbConflicts->setText(
      offers == 0 ? QStringLiteral("No file offered another value for a stored reading.")
                  : QStringLiteral("%1 values offered for stored readings. Choose a row, then keep "
                                   "the stored value or take the offered one.")
                        .arg(offers));
  gConflicts->resizeColumnsToContents();
  if (current >= 0 && current < model_->rowCount()) gConflicts->selectRow(current);
  SetEnable();
}

void ConflictsDialog::Choose(bool take) {
  const QModelIndexList rows = gConflicts->selectionModel()->selectedRows();
  HistoryStore* store = Store();
  if (store == nullptr || rows.isEmpty()) return;
  const ConflictOffer& offer = *model_->row(rows.front().row()).offer;
  const Status st = store->ChooseConflict(offer.conflict_id, take);
  if (!st) {
    ShowError(this, FromUtf8(st.message));
    return;
  }
  PutConflicts();
  emit Changed();
}

void ConflictsDialog::SetEnable() {
  const QModelIndexList rows = gConflicts->selectionModel()->selectedRows();
  HistoryStore* store = Store();
  const bool writable = store != nullptr && !store->ReadOnly();
  bool in_use = false, stored = false;
  if (!rows.isEmpty()) {
    const ConflictTableModel::Row& r = model_->row(rows.front().row());
    in_use = r.offer->in_use;
    stored = r.reading->value == r.reading->stored;
  }
  btnTake->setEnabled(writable && !rows.isEmpty() && !in_use);
  btnKeep->setEnabled(writable && !rows.isEmpty() && !stored);
}

}  // namespace tarn
