// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/plant_tree.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "common/code_page.h"
#include "common/ui/qt_text.h"
#include "history/point_figures.h"
#include "history/probe_figures.h"

namespace tarn {

namespace {

QString Narrow(const std::string& s) {
  return FromUtf8(NarrowToUtf8(s));
}

// A dot of the state's colour; grey for points no limit applies to.
QIcon StateDot(const QColor& color) {
  QPixmap pixmap(12, 12);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(color.darker(140));
  p.setBrush(color);
  p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
  return QIcon(pixmap);
}

void AddNode(const PointNode& node, const std::vector<PointSummary>& points,
             QStandardItem* parent) {
  const bool whole = node.path.empty();
  auto* item = new QStandardItem(whole ? QStringLiteral("Whole plant") : Narrow(node.name));
  item->setEditable(false);
  item->setData(Narrow(node.path), kNodePathRole);
  item->setData(node.alarms, kNodeAlarmsRole);
  item->setData(node.warnings, kNodeWarningsRole);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  QColor color = StateColor(node.state);
  QString what = QStringLiteral("%1 points").arg(node.points);
  if (node.point >= 0) {
    const PointSummary& p = points[static_cast<size_t>(node.point)];
    item->setData(static_cast<qlonglong>(p.id), kNodePointRole);
    flags |= Qt::ItemIsDropEnabled;
    if (KindOfSeries(p.current.key.data_type) == SeriesKind::kOther)
      color = QColor(0xB0, 0xB0, 0xB0);
    what = QStringLiteral("a point of %1 probes, now %2")
               .arg(p.probes.size())
               .arg(Narrow(p.current.key.tag));
    if (node.points > 1) what += QStringLiteral(", with %1 points under it").arg(node.points - 1);
  }
  item->setFlags(flags);
  item->setIcon(StateDot(color));
  item->setToolTip(QStringLiteral("%1: %2; %3 in alarm, %4 in warning")
                       .arg(whole ? QStringLiteral("Whole plant") : Narrow(node.path), what)
                       .arg(node.alarms)
                       .arg(node.warnings));
  for (const PointNode& child : node.children) AddNode(child, points, item);
  parent->appendRow(item);
}

}  // namespace

QColor StateColor(ProbeState state) {
  switch (state) {
    case ProbeState::kAlarm:
      return QColor(0xF4, 0x8F, 0x8F);
    case ProbeState::kWarning:
      return QColor(0xFF, 0xD5, 0x6B);
    default:
      return QColor(0xB9, 0xE4, 0xB9);
  }
}

QMimeData* ProbeIdsMime(const std::vector<int64_t>& ids) {
  QStringList list;
  for (int64_t id : ids) list << QString::number(id);
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kProbeIdsMime), list.join(QLatin1Char(' ')).toLatin1());
  return mime;
}

std::vector<int64_t> ProbeIdsOf(const QMimeData* mime) {
  std::vector<int64_t> ids;
  if (mime == nullptr) return ids;
  const QList<QByteArray> words = mime->data(QString::fromLatin1(kProbeIdsMime)).split(' ');
  for (const QByteArray& w : words) {
    bool ok = false;
    const qlonglong id = w.toLongLong(&ok);
    if (ok) ids.push_back(id);
  }
  return ids;
}

void PlantTreeModel::PutPlant(const std::vector<PointSummary>& points) {
  clear();
  setHorizontalHeaderLabels({QStringLiteral("Plant")});
  AddNode(StatusRollUp(points), points, invisibleRootItem());
}

QStringList PlantTreeModel::mimeTypes() const {
  return {QString::fromLatin1(kProbeIdsMime)};
}

bool PlantTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                     const QModelIndex& parent) const {
  return parent.data(kNodePointRole).isValid() && !ProbeIdsOf(data).empty();
}

bool PlantTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent) {
  if (!canDropMimeData(data, action, row, column, parent) || !dropped) return false;
  const std::string path = Utf8ToNarrow(ToUtf8(parent.data(kNodePathRole).toString()));
  // The tab lists the plant again after the move; the view must not move items itself.
  dropped(ProbeIdsOf(data), path);
  return false;
}

void PlantNodeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const int alarms = index.data(kNodeAlarmsRole).toInt();
  const int warnings = index.data(kNodeWarningsRole).toInt();
  // A point's own state is its dot; the badges count what is under a site or unit.
  const bool counts = !index.data(kNodePointRole).isValid() || index.model()->hasChildren(index);
  QStringList badges;
  QList<QColor> colors;
  if (counts && alarms > 0) {
    badges << QString::number(alarms);
    colors << StateColor(ProbeState::kAlarm);
  }
  if (counts && warnings > 0) {
    badges << QString::number(warnings);
    colors << StateColor(ProbeState::kWarning);
  }
  QFont small = option.font;
  small.setPointSizeF(std::max(small.pointSizeF() - 1.5, 6.5));
  const QFontMetrics fm(small);
  auto width = [&fm](const QString& b) { return std::max(fm.horizontalAdvance(b) + 6, 13); };
  int room = 0;
  for (const QString& b : badges) room += width(b) + 2;
  QStyleOptionViewItem name = option;
  name.rect.setRight(option.rect.right() - room);
  QStyledItemDelegate::paint(painter, name, index);
  int x = option.rect.right() - room + 2;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setFont(small);
  for (qsizetype i = 0; i < badges.size(); ++i) {
    const int w = width(badges[i]);
    const QRect box(x, option.rect.center().y() - 6, w, 12);
    painter->setPen(colors[i].darker(150));
    painter->setBrush(colors[i]);
    painter->drawRoundedRect(box, 6, 6);
    painter->setPen(Qt::black);
    painter->drawText(box, Qt::AlignCenter, badges[i]);
    x += w + 2;
  }
  painter->restore();
}

}  // namespace tarn
