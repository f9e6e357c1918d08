// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/changes_dialog.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "common/date_time.h"
#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"

namespace tarn {

// One row per change, oldest first.
class ChangeTableModel : public QAbstractTableModel {
 public:
  enum Column { kTime, kUser, kWhat, kBefore, kAfter, kColumns };

  explicit ChangeTableModel(QObject* parent) : QAbstractTableModel(parent) {}

  void SetChanges(std::vector<HistoryChange> list) {
    beginResetModel();
    list_ = std::move(list);
    endResetModel();
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(list_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : kColumns;
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeads[] = {"Time", "User", "What", "Before", "After"};
    return QString::fromLatin1(kHeads[section]);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const HistoryChange& c = list_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
      case kTime:
        return FromUtf8(DateTime2Str(DateTime{c.time * kTicksPerSecond}));
      case kUser:
        return FromUtf8(c.user);
      case kWhat:
        return FromUtf8(c.what);
      case kBefore:
        return FromUtf8(c.before);
      case kAfter:
        return FromUtf8(c.after);
      default:
        return {};
    }
  }

 private:
  std::vector<HistoryChange> list_;
};

ChangesDialog::ChangesDialog(QWidget* parent)
    : QDialog(parent), model_(new ChangeTableModel(this)), proxy_(new QSortFilterProxyModel(this)) {
  setObjectName(QStringLiteral("Changes"));
  setWindowTitle(QStringLiteral("History of changes"));
  resize(900, 420);
  edFilter = new QLineEdit(this);
  edFilter->setObjectName(QStringLiteral("edFilter"));
  edFilter->setPlaceholderText(
      QStringLiteral("Filter by any word: a tag, a user, a kind of change"));
  edFilter->setClearButtonEnabled(true);
  lbChanges = MakeLabel("lbChanges", QString(), this);
  lbChanges->setWordWrap(true);
  proxy_->setSourceModel(model_);
  proxy_->setFilterKeyColumn(-1);  // every column
  proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  gChanges = new QTableView(this);
  gChanges->setObjectName(QStringLiteral("gChanges"));
  gChanges->setModel(proxy_);
  gChanges->setSelectionBehavior(QAbstractItemView::SelectRows);
  gChanges->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gChanges->setWordWrap(false);
  gChanges->verticalHeader()->setVisible(false);
  gChanges->horizontalHeader()->setStretchLastSection(true);
  btnClose =
      MakeButton("btnClose", QStringLiteral("&Close"), this, "Close the history of changes (Esc)");
  btnClose->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lbChanges, 1);
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(edFilter);
  layout->addWidget(gChanges, 1);
  layout->addLayout(buttons);
  connect(edFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
    proxy_->setFilterFixedString(text);
    PutCount();
  });
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
}

ChangesDialog::~ChangesDialog() = default;

void ChangesDialog::Open(std::function<HistoryStore*()> store) {
  store_ = std::move(store);
  model_->SetChanges({});
  PutChanges();
  open();
}

void ChangesDialog::PutChanges() {
  HistoryStore* store = store_ ? store_() : nullptr;
  std::vector<HistoryChange> list;
  Status st = Status::Fail("the history is not open.");
  if (store != nullptr) {
    list = store->ListChanges();
    st = store->LastError();
  }
  if (!st) {
    // What was listed stays, said to be out of date.
    lbChanges->setText(QStringLiteral("Cannot reach the history: %1 The list is not current.")
                           .arg(FromUtf8(st.message)));
    return;
  }
  model_->SetChanges(std::move(list));
  gChanges->resizeColumnsToContents();
  gChanges->scrollToBottom();  // the newest last, in view
  PutCount();
}

void ChangesDialog::PutCount() {
  const int all = model_->rowCount(), shown = proxy_->rowCount();
  if (all == 0) {
    lbChanges->setText(QStringLiteral("Nothing has been changed through Tarn yet."));
  } else if (shown == all) {
    lbChanges->setText(QStringLiteral("%1 changes, oldest first.").arg(all));
  } else {
    lbChanges->setText(QStringLiteral("%1 of %2 changes shown, oldest first.").arg(shown).arg(all));
  }
}

}  // namespace tarn
