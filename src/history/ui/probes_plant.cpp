// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's plant: the tree of sites, units and points beside the table, the points view,
// moving probes onto points, renaming points and a point's graph.
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenu>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "history/event_figures.h"
#include "history/history_graph.h"
#include "history/ui/plant_tree.h"
#include "history/ui/point_table_model.h"
#include "history/ui/probe_proxy.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"

namespace tarn {

namespace {

QString Narrow(const std::string& s) {
  return FromUtf8(NarrowToUtf8(s));
}

}  // namespace

void Probes::InitPlant() {
  tvPlant = new QTreeView(this);
  tvPlant->setObjectName(QStringLiteral("tvPlant"));
  tvPlant->setModel(tree_);
  tvPlant->setItemDelegate(new PlantNodeDelegate(tvPlant));
  tvPlant->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvPlant->setHeaderHidden(true);
  tvPlant->setIndentation(12);
  tvPlant->setIconSize(QSize(12, 12));
  tvPlant->setTextElideMode(Qt::ElideRight);
  tvPlant->setFont(gProbes->font());
  tvPlant->setAcceptDrops(true);
  tvPlant->setDragDropMode(QAbstractItemView::DropOnly);
  tvPlant->setDropIndicatorShown(true);
  tvPlant->setContextMenuPolicy(Qt::CustomContextMenu);
  tvPlant->setToolTip(QStringLiteral(
      "Sites, units and points: choose one to list what is in it; drop probes on a point to move "
      "them there"));
  cbView = new QComboBox(this);
  cbView->setObjectName(QStringLiteral("cbView"));
  cbView->addItem(QStringLiteral("Probes"));
  cbView->addItem(QStringLiteral("Points"));
  cbView->setToolTip(QStringLiteral("List the chosen node's probes, or its monitoring points"));
  auto* left = new QWidget(this);
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->setSpacing(4);
  left_layout->addWidget(cbView);
  left_layout->addWidget(tvPlant, 1);

  points_proxy_->setSourceModel(points_model_);
  points_proxy_->setSortRole(PointTableModel::kSortRole);
  points_proxy_->setFilterKeyColumn(-1);
  points_proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  gPoints = new QTableView(this);
  gPoints->setObjectName(QStringLiteral("gPoints"));
  gPoints->setModel(points_proxy_);
  gPoints->setSortingEnabled(true);
  gPoints->sortByColumn(PointTableModel::kPath, Qt::AscendingOrder);
  gPoints->setSelectionBehavior(QAbstractItemView::SelectRows);
  gPoints->setSelectionMode(QAbstractItemView::SingleSelection);
  gPoints->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gPoints->setAlternatingRowColors(true);
  gPoints->verticalHeader()->setVisible(false);
  gPoints->verticalHeader()->setDefaultSectionSize(22);
  gPoints->horizontalHeader()->setStretchLastSection(true);
  gPoints->horizontalHeader()->setHighlightSections(false);
  gPoints->setFont(gProbes->font());
  gPoints->horizontalHeader()->setFont(gProbes->font());
  gPoints->setTextElideMode(Qt::ElideLeft);  // a long path keeps its point's own name
  gPoints->setWordWrap(false);
  gProbes->setDragEnabled(true);
  gProbes->setDragDropMode(QAbstractItemView::DragOnly);

  stViews = new QStackedWidget(this);
  stViews->addWidget(gProbes);
  stViews->addWidget(gPoints);
  spPlant = new QSplitter(this);
  spPlant->setObjectName(QStringLiteral("spPlant"));
  spPlant->setChildrenCollapsible(false);
  spPlant->addWidget(left);
  spPlant->addWidget(stViews);
  spPlant->setStretchFactor(1, 1);
  spPlant->setSizes({kTreeWidth, 1000});

  // A node leaves in its points, and the probes those points have held.
  points_proxy_->gate = [this](int row) { return InNode(points_model_->point(row).path); };
  proxy_->gate = [this](int row) {
    return node_path_.empty() || node_probes_.count(model_->probe(row).id) > 0;
  };
  tree_->dropped = [this](const std::vector<int64_t>& ids, const std::string& path) {
    AssignProbes(ids, path);
    return true;
  };
  connect(tvPlant->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) {
            node_path_ = Utf8ToNarrow(ToUtf8(index.data(kNodePathRole).toString()));
            PutNode();
          });
  connect(tvPlant, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.data(kNodePointRole).isValid())
      OpenPointGraph(index.data(kNodePointRole).toLongLong());
  });
  connect(tvPlant, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) {
    PlantMenu(tvPlant->indexAt(at), tvPlant->viewport()->mapToGlobal(at));
  });
  connect(gPoints, &QTableView::activated, this, [this](const QModelIndex& index) {
    const QModelIndex source = points_proxy_->mapToSource(index);
    if (source.isValid()) OpenPointGraph(points_model_->point(source.row()).id);
  });
  connect(gPoints->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SetEnable(); });
  connect(cbView, &QComboBox::currentIndexChanged, this, [this](int view) {
    stViews->setCurrentIndex(view);
    if (view == 1 && !points_fitted_) {
      points_fitted_ = true;
      gPoints->resizeColumnsToContents();
      gPoints->horizontalHeader()->resizeSection(PointTableModel::kPath,
                                                 std::min(gPoints->columnWidth(0), 240));
    }
    PutCounts();
    SetEnable();
  });
}

bool Probes::InNode(const std::string& path) const {
  if (node_path_.empty()) return true;
  const QString p = FromUtf8(path), node = FromUtf8(node_path_);
  return p.compare(node, Qt::CaseInsensitive) == 0 ||
         p.startsWith(node + QLatin1Char('/'), Qt::CaseInsensitive);
}

void Probes::PutNode() {
  node_probes_.clear();
  for (const PointSummary& point : points_model_->points()) {
    if (!InNode(point.path)) continue;
    for (const PointProbe& probe : point.probes) node_probes_.insert(probe.probe_id);
  }
  proxy_->Regate();
  points_proxy_->Regate();
  PutCounts();
}

void Probes::PutPlant(std::vector<PointSummary> points) {
  points_model_->SetPoints(std::move(points));
  // The branches opened before stay open.
  std::set<QString> open_paths;
  std::vector<QModelIndex> open = {tree_->index(0, 0)};
  while (!open.empty()) {
    const QModelIndex at = open.back();
    open.pop_back();
    if (!at.isValid()) continue;
    if (tvPlant->isExpanded(at)) open_paths.insert(at.data(kNodePathRole).toString().toLower());
    for (int r = 0; r < tree_->rowCount(at); ++r) open.push_back(tree_->index(r, 0, at));
  }
  const bool first = tree_->rowCount() == 0;
  tree_->PutPlant(points_model_->points());
  // The node chosen before stays chosen while it is there; else the whole plant.
  QModelIndex chosen = tree_->index(0, 0);
  const QString chosen_path = Narrow(node_path_).toLower();
  open = {chosen};
  while (!open.empty()) {
    const QModelIndex at = open.back();
    open.pop_back();
    const QString path = at.data(kNodePathRole).toString().toLower();
    if (path == chosen_path) chosen = at;
    if (first ? path.isEmpty() : open_paths.count(path) > 0) tvPlant->expand(at);
    for (int r = 0; r < tree_->rowCount(at); ++r) open.push_back(tree_->index(r, 0, at));
  }
  if (first) tvPlant->expand(tree_->index(0, 0));
  const QSignalBlocker quiet(tvPlant->selectionModel());
  tvPlant->setCurrentIndex(chosen);
  node_path_ = Utf8ToNarrow(ToUtf8(chosen.data(kNodePathRole).toString()));
  PutNode();
}

const PointSummary* Probes::PointWithId(int64_t id) const {
  for (const PointSummary& p : points_model_->points()) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

void Probes::AssignProbes(const std::vector<int64_t>& probe_ids, const std::string& path) {
  HistoryStore* s = store();
  if (s == nullptr || !ReadOnlyReason().isEmpty()) {
    ShowError(this, s == nullptr ? FromUtf8(open_error_) : ReadOnlyReason());
    return;
  }
  if (Importing()) return;
  int moved = 0;
  std::string placed;
  for (int64_t id : probe_ids) {
    const Status status = s->AssignProbe(id, path, std::nullopt, &placed);
    if (!status) {
      ShowError(this, FromUtf8(status.message));
      break;
    }
    ++moved;
  }
  PutProbes();
  if (moved > 0) {
    PutStatus(moved == 1 ? QStringLiteral("1 probe moved to %1").arg(Narrow(placed))
                         : QStringLiteral("%1 probes moved to %2").arg(moved).arg(Narrow(placed)));
  }
}

void Probes::RenameNode(const std::string& path) {
  if (path.empty()) return;
  HistoryStore* s = WritableStore();
  if (s == nullptr) return;
  QInputDialog dialog(this);
  dialog.setObjectName(QStringLiteral("renamePointDialog"));
  dialog.setWindowTitle(QStringLiteral("Rename or move"));
  dialog.setLabelText(
      QStringLiteral("New path of %1, Site/Unit/Point (the points under it move with it):")
          .arg(Narrow(path)));
  dialog.setTextValue(Narrow(path));
  const bool ok =
      exec_input_dialog ? exec_input_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  const std::string to = Utf8ToNarrow(ToUtf8(dialog.textValue().trimmed()));
  if (!ok || to == path) return;
  if (const Status status = s->RenamePoint(path, to); !status) {
    ShowError(this, Narrow(status.message));
    return;
  }
  node_path_ = to;
  PutProbes();
  PutStatus(QStringLiteral("%1 is now %2").arg(Narrow(path), Narrow(to)));
}

void Probes::PlantMenu(const QModelIndex& node, const QPoint& global) {
  if (!node.isValid()) return;
  const std::string path = Utf8ToNarrow(ToUtf8(node.data(kNodePathRole).toString()));
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("plantMenu"));
  if (node.data(kNodePointRole).isValid()) {
    const int64_t point = node.data(kNodePointRole).toLongLong();
    menu.addAction(QStringLiteral("&Graph of the point"), this,
                   [this, point] { OpenPointGraph(point); });
  }
  QAction* rename = menu.addAction(QStringLiteral("&Rename or move..."), this,
                                   [this, path] { RenameNode(path); });
  rename->setEnabled(!path.empty() && ReadOnlyReason().isEmpty());
  QAction* event = menu.addAction(QStringLiteral("Add &event..."), this, [this, path] {
    // History times are the wall clock's, as instruments write them.
    int32_t chk = 0;
    const DateTime now = Str2DateTime(
        ToUtf8(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:00"))), &chk);
    AddEventOn(path, now.ticks / kTicksPerSecond);
  });
  event->setEnabled(!path.empty() && ReadOnlyReason().isEmpty());
  // The events that concern the node (on it, under it or above it), each to edit or remove.
  if (HistoryStore* s = store(); s != nullptr && !path.empty()) {
    EventFilter filter;
    filter.path = path;
    const std::vector<HistoryEvent> events = s->ListEvents(filter);
    if (!events.empty()) {
      QMenu* edit = menu.addMenu(QStringLiteral("Edi&t an event"));
      QMenu* remove = menu.addMenu(QStringLiteral("Re&move an event"));
      for (const HistoryEvent& e : events) {
        const QString text = FromUtf8(EventText(e));
        edit->addAction(text, this, [this, path, id = e.id] { EditEventOf(path, id); });
        remove->addAction(text, this, [this, path, id = e.id] { RemoveEventOf(path, id); });
      }
      edit->setEnabled(ReadOnlyReason().isEmpty());
      remove->setEnabled(ReadOnlyReason().isEmpty());
    }
  }
  if (exec_menu) {
    exec_menu(&menu);
  } else {
    menu.exec(global);
  }
}

void Probes::OpenPointGraph(int64_t point_id) {
  HistoryStore* s = store();
  const PointSummary* point = PointWithId(point_id);
  if (s == nullptr || point == nullptr) {
    if (s == nullptr) PutUnreachable(open_error_);
    return;
  }
  // The replacements of the whole history, read once: a single column reads almost nothing.
  const PointSeries whole = s->ReadPointSeries(point_id, point->first_time, point->last_time, 1);
  HistoryReader reader = [this](int64_t id, HistoryTime from, HistoryTime to, int32_t columns) {
    HistoryStore* st = store();
    return st != nullptr ? st->ReadPointSeries(id, from, to, columns).readings
                         : std::vector<HistoryReading>{};
  };
  fmHist->OpenPoint(std::move(reader), PointAsProbe(*point), ReplacementMarks(whole.replacements),
                    RateWindow());
  GraphOpened(point_id);
}

std::vector<int64_t> Probes::SelectedPoints() const {
  std::vector<int64_t> out;
  for (const QModelIndex& index : gPoints->selectionModel()->selectedRows()) {
    const QModelIndex source = points_proxy_->mapToSource(index);
    if (source.isValid()) out.push_back(points_model_->point(source.row()).id);
  }
  return out;
}

}  // namespace tarn
