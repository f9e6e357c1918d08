// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon screen, part two: the table of stored coupons, from building it to adding,
// redrawing and deleting its rows.
#include "coupon/ui/coupon.h"

#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QString>
#include <QTableView>
#include <algorithm>

#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_store.h"
#include "coupon/ui/coupon_records.h"
#include "coupon/ui/coupon_table_model.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr char kMsgNotCalculated[] = "Calculated values are not.";
constexpr char kMsgStoreFull[] = "You can not add anu more.";

}  // namespace

QWidget* Coupon::BuildTable() {
  model_ = new CouponTableModel(&vCponData, &units_, this);
  gCpon = new QTableView(this);
  gCpon->setObjectName(QStringLiteral("gCpon"));
  gCpon->setModel(model_);
  gCpon->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gCpon->setSelectionBehavior(QAbstractItemView::SelectRows);
  gCpon->setSelectionMode(QAbstractItemView::SingleSelection);
  gCpon->setSortingEnabled(false);
  gCpon->setWordWrap(false);
  gCpon->verticalHeader()->hide();
  gCpon->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  gCpon->verticalHeader()->setDefaultSectionSize(gCpon->fontMetrics().height() + 6);
  QHeaderView* header = gCpon->horizontalHeader();
  // Columns fill the width (FitColumns), but never below what their texts need: twenty of
  // them do not fit a narrow window, which then scrolls instead of clipping every header.
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
  header->setFixedHeight(header->fontMetrics().lineSpacing() * 2 + 8);
  header->setSortIndicatorShown(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(true);
  gCpon->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  gCpon->viewport()->installEventFilter(this);
  connect(gCpon, &QTableView::clicked, this,
          [this](const QModelIndex& index) { gCpon_CellClick(index.row()); });
  connect(header, &QHeaderView::sectionClicked, this, [this](int) { gCpon_HeaderClick(); });
  // Delete removes the selected row and Ctrl+Z brings back the last one removed; both only while
  // the table has the focus, so that the text boxes keep their own keys.
  auto* del = new QShortcut(QKeySequence::Delete, gCpon, nullptr, nullptr, Qt::WidgetShortcut);
  connect(del, &QShortcut::activated, this, &Coupon::DeleteData);
  auto* undo = new QShortcut(QKeySequence::Undo, gCpon, nullptr, nullptr, Qt::WidgetShortcut);
  connect(undo, &QShortcut::activated, this, &Coupon::UndoDelete);
  return gCpon;
}

void Coupon::FitColumns() {
  QHeaderView* header = gCpon->horizontalHeader();
  const QFontMetrics head(header->font());
  const QFontMetrics body(gCpon->font());
  const int pad = 14;
  int want[kCouponColumns];
  int total = 0;
  for (int c = 0; c < kCouponColumns; ++c) {
    // A wrapped header needs its longest word on one line.
    int w = 0;
    for (const QString& word : QString::fromLatin1(kCouponColumnHeader[c]).split(' ')) {
      w = std::max(w, head.horizontalAdvance(word));
    }
    const char* sample = "0000.0000";
    if (c == 11 || c == 12) sample = "00/00/0000 00:00:00";
    w = std::max(w, body.horizontalAdvance(QString::fromLatin1(sample)));
    want[c] = w + pad;
    total += want[c];
  }
  const int room = gCpon->viewport()->width();
  int used = 0;
  for (int c = 0; c < kCouponColumns; ++c) {
    int width = want[c];
    if (room > total) {
      // Share the spare room out in proportion; the last column takes the rounding.
      width = c + 1 < kCouponColumns ? want[c] * room / total : room - used;
    }
    header->resizeSection(c, width);
    used += width;
  }
}

bool Coupon::eventFilter(QObject* watched, QEvent* event) {
  if (watched == gCpon->viewport() && event->type() == QEvent::Resize) FitColumns();
  return QWidget::eventFilter(watched, event);
}

void Coupon::gCpon_CellClick(int row) {
  selected_row = row;
}

void Coupon::gCpon_HeaderClick() {
  selected_row = -1;
}

void Coupon::AddScr2Table() {
  if (!is_calc) {
    ShowError(this, QString::fromLatin1(kMsgNotCalculated));
    return;
  }
  if (vCponData.record_count >= kCouponCapacity) {
    ShowError(this, QString::fromLatin1(kMsgStoreFull));
    return;
  }
  // The stored copy is the coupon as the last calculation read it, with the tag and comment as
  // they are now: they take no part in the calculation.
  GetItemText(edTag, kItemTag);
  SetValue(vCpon, kItemComment, ToUtf8(edComment->toPlainText()), vUnit);
  model_->BeginAppend();
  vCponData.items[vCponData.record_count] = vCpon;
  ++vCponData.record_count;
  model_->EndAppend();
  SetModified(true);
}

void Coupon::PutTable() {
  // The view formats its cells from the store in the units in force when it paints them.
  model_->BeginRebuild();
  model_->EndRebuild();
  if (vCponData.record_count > 0) vCpon = vCponData.items[vCponData.record_count - 1];
}

void Coupon::DeleteData() {
  const int count = vCponData.record_count;
  if (selected_row < 0 || count <= 0) return;
  if (selected_row >= count) selected_row = count - 1;
  undo_row_ = selected_row;
  undo_record_ = vCponData.items[selected_row];
  model_->BeginRemove(selected_row);
  std::copy(vCponData.items + selected_row + 1, vCponData.items + count,
            vCponData.items + selected_row);
  --vCponData.record_count;
  model_->EndRemove();
  SetModified(true);
}

void Coupon::UndoDelete() {
  const int count = vCponData.record_count;
  if (undo_row_ < 0 || count >= kCouponCapacity) return;
  // The store may have shrunk since (another delete, a file opened): the row goes at most to
  // the end.
  const int row = std::min(undo_row_, count);
  model_->BeginInsert(row);
  std::copy_backward(vCponData.items + row, vCponData.items + count, vCponData.items + count + 1);
  vCponData.items[row] = undo_record_;
  ++vCponData.record_count;
  model_->EndInsert();
  undo_row_ = -1;
  SetModified(true);
}

}  // namespace tarn
