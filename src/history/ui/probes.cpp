// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/probes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <set>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/screen_keys.h"
#include "common/ui/widget_builders.h"
#include "history/history_location.h"
#include "history/history_review.h"
#include "history/ui/changes_dialog.h"
#include "history/ui/conflicts_dialog.h"
#include "history/ui/event_dialog.h"
#include "history/ui/history_report.h"
#include "history/ui/history_watcher.h"
#include "history/ui/import_job.h"
#include "history/ui/limits_dialog.h"
#include "history/ui/plant_tree.h"
#include "history/ui/point_table_model.h"
#include "history/ui/probe_proxy.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/report_job.h"
#include "history/ui/view_history.h"
#include "settings/ini_file.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

QPushButton* Button(const char* name, const char* text, const char* hint, QWidget* parent) {
  QPushButton* b = MakeButton(name, QString::fromLatin1(text), parent, QString::fromLatin1(hint));
  b->setAutoDefault(false);
  b->setMinimumHeight(30);
  return b;
}

QString WindowText(int days) {
  return days == 0 ? QStringLiteral("All") : QStringLiteral("%1 days").arg(days);
}

}  // namespace

Probes::Probes(QWidget* parent)
    : QWidget(parent),
      model_(new ProbeTableModel(this)),
      proxy_(new ProbeProxy(this)),
      points_model_(new PointTableModel(this)),
      points_proxy_(new ProbeProxy(this)),
      tree_(new PlantTreeModel(this)),
      fmHist(new ViewHistory(this)),
      fmLimits(new LimitsDialog(this)),
      fmConflicts(new ConflictsDialog(this)),
      fmChanges(new ChangesDialog(this)),
      fmFlags(new FlagsDialog(this)),
      fmEvent(new EventDialog(this)) {
  InitializeComponent();
  // Another program (the monitor, another desktop) may write to the same history: a cheap
  // look at its change mark every few seconds, while the tab is shown and not importing.
  watcher_ = new HistoryWatcher(
      [this]() -> HistoryStore* { return isVisible() && !Importing() ? store_.get() : nullptr; },
      this);
  connect(watcher_, &HistoryWatcher::Changed, this, &Probes::PutProbes);
  connect(model_, &QAbstractItemModel::modelReset, watcher_, &HistoryWatcher::Rebase);
}

Probes::~Probes() = default;

void Probes::InitializeComponent() {
  setObjectName(QStringLiteral("Probes"));
  setAcceptDrops(true);

  btnImport = Button("btnImport", "&Import", "Add instrument files to the probe history", this);
  btnGraph =
      Button("btnGraph", "&Graph", "Show the selected probe's whole history as a graph", this);
  btnOverlay = Button("btnOverlay", "&Overlay",
                      "Draw the selected probes in one graph to compare them", this);
  btnLimits = Button("btnLimits", "&Limits",
                     "Set the warning and alarm levels of rate and consumed share", this);
  btnRemove = Button("btnRemove", "&Remove",
                     "Remove the selected probes and their readings from the history", this);
  btnReport =
      Button("btnReport", "Re&port", "Write a PDF report of the selected probes, or of all", this);
  btnConflicts =
      Button("btnConflicts", "Co&nflicts",
             "List the selected probe's readings that files offered other values for", this);
  btnUnimport = Button("btnUnimport", "&Undo import",
                       "Take the readings of one imported file back out of the history", this);
  btnChanges = Button("btnChanges", "C&hanges",
                      "List every change made to the history, who made it and when", this);
  btnFlags = Button("btnFlags", "&Flags",
                    "List the falls of metal loss too large to be corrosion that imports flagged "
                    "for review",
                    this);
  btnFlags->setEnabled(false);
  edFilter = new QLineEdit(this);
  edFilter->setObjectName(QStringLiteral("edFilter"));
  edFilter->setPlaceholderText(QStringLiteral("Filter by tag or serial"));
  edFilter->setClearButtonEnabled(true);
  cbWindow = new QComboBox(this);
  cbWindow->setObjectName(QStringLiteral("cbWindow"));
  for (int days : kRateWindows) cbWindow->addItem(WindowText(days), days);
  cbWindow->setCurrentIndex(cbWindow->findData(kDefaultRateWindow));
  chkAddDownloads = new QCheckBox(QStringLiteral("Add saved downloads to the history"), this);
  chkAddDownloads->setObjectName(QStringLiteral("chkAddDownloads"));
  chkAddDownloads->setChecked(true);

  auto* top = new QHBoxLayout;
  top->setSpacing(6);
  for (QPushButton* b : {btnImport, btnGraph, btnOverlay, btnLimits, btnRemove, btnReport,
                         btnConflicts, btnUnimport})
    top->addWidget(b);
  top->addSpacing(12);
  top->addWidget(edFilter, 1);
  top->addSpacing(12);
  top->addWidget(new QLabel(QStringLiteral("Rate over"), this));
  top->addWidget(cbWindow);

  proxy_->setSourceModel(model_);
  proxy_->setSortRole(ProbeTableModel::kSortRole);
  proxy_->setFilterRole(ProbeTableModel::kFilterRole);
  proxy_->setFilterKeyColumn(ProbeTableModel::kTag);
  proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  gProbes = new QTableView(this);
  gProbes->setObjectName(QStringLiteral("gProbes"));
  gProbes->setModel(proxy_);
  gProbes->setSortingEnabled(true);
  gProbes->sortByColumn(ProbeTableModel::kTag, Qt::AscendingOrder);
  gProbes->setSelectionBehavior(QAbstractItemView::SelectRows);
  gProbes->setSelectionMode(QAbstractItemView::ExtendedSelection);
  gProbes->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gProbes->setAlternatingRowColors(true);
  gProbes->verticalHeader()->setVisible(false);
  gProbes->verticalHeader()->setDefaultSectionSize(22);
  gProbes->horizontalHeader()->setStretchLastSection(true);
  gProbes->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  gProbes->setTextElideMode(Qt::ElideRight);
  gProbes->setWordWrap(false);  // a tag would break at its hyphens onto a hidden second line
  // A point smaller than the window's text, so that twelve columns fit its default width.
  QFont small = gProbes->font();
  small.setPointSizeF(std::max(small.pointSizeF() - 1.0, 7.0));
  gProbes->setFont(small);
  gProbes->horizontalHeader()->setFont(small);
  // Every column of a selected row would turn its title bold, and wider than its column.
  gProbes->horizontalHeader()->setHighlightSections(false);

  InitFrozenColumns();

  btnCancel = Button("btnCancel", "&Cancel",
                     "Stop the import or report; the file being read adds nothing", this);
  prgImport = new QProgressBar(this);
  prgImport->setObjectName(QStringLiteral("prgImport"));
  lbStatus = new QLabel(this);
  lbStatus->setObjectName(QStringLiteral("lbStatus"));
  lbHistory = new QLabel(this);
  lbHistory->setObjectName(QStringLiteral("lbHistory"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lbHistory);
  // The history's own trail, beside its name; the bar above keeps its room for the filter.
  bottom->addWidget(btnChanges);
  bottom->addWidget(btnFlags);
  bottom->addSpacing(12);
  bottom->addWidget(lbStatus, 1);
  bottom->addWidget(chkAddDownloads);
  bottom->addWidget(prgImport);
  bottom->addWidget(btnCancel);
  prgImport->hide();
  btnCancel->hide();

  InitPlant();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addLayout(top);
  layout->addWidget(spPlant, 1);
  layout->addLayout(bottom);

  connect(btnImport, &QPushButton::clicked, this, [this] { btnImport_Click(); });
  connect(btnGraph, &QPushButton::clicked, this, [this] { OpenGraph(); });
  connect(btnOverlay, &QPushButton::clicked, this, [this] { OpenOverlay(); });
  connect(btnLimits, &QPushButton::clicked, this, [this] { SetLimits(); });
  connect(btnRemove, &QPushButton::clicked, this, [this] { RemoveProbes(); });
  connect(btnReport, &QPushButton::clicked, this, [this] { SaveReport(); });
  connect(btnConflicts, &QPushButton::clicked, this, [this] { OpenConflicts(); });
  connect(btnUnimport, &QPushButton::clicked, this, [this] { UndoImport(); });
  connect(btnChanges, &QPushButton::clicked, this,
          [this] { fmChanges->Open([this] { return store(); }); });
  connect(fmConflicts, &ConflictsDialog::Changed, this, [this] { PutProbes(); });
  connect(btnFlags, &QPushButton::clicked, this, [this] { OpenFlags(); });
  connect(fmFlags, &FlagsDialog::GraphAsked, this, [this](qint64 id) { OpenProbeGraph(id); });
  // The graph's menu and clicks act on the point it shows.
  connect(fmHist, &ViewHistory::AddEventAt, this, [this](qint64 at) {
    if (graph_point_ != 0) AddEventOn(graph_path_, at);
  });
  connect(fmHist, &ViewHistory::EditEventAsked, this, [this](qint64 id) { EditGraphEvent(id); });
  connect(fmHist, &ViewHistory::RemoveEventAsked, this,
          [this](qint64 id) { RemoveGraphEvent(id); });
  connect(fmHist, &ViewHistory::EventChosen, this, [this](qint64 id) { ChooseGraphEvent(id); });
  connect(fmHist, &ViewHistory::SetAsideAsked, this,
          [this](qint64 from, qint64 to) { SetAsideInGraph(from, to); });
  connect(fmHist, &ViewHistory::RestoreAsked, this,
          [this](qint64 from, qint64 to) { RestoreInGraph(from, to); });
  fmHist->SetSetAsideSource([this](int64_t id, bool point) { return GraphSetAside(id, point); });
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    if (Reporting()) {
      CancelReport();
    } else {
      CancelImport();
    }
  });
  fmHist->SetReadFailure([this]() -> std::string {
    HistoryStore* s = store();
    if (s == nullptr) return open_error_;
    const Status st = s->LastError();
    return st ? std::string() : st.message;
  });
  connect(edFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
    proxy_->setFilterFixedString(text);
    points_proxy_->setFilterFixedString(text);
    PutCounts();
  });
  connect(cbWindow, &QComboBox::currentIndexChanged, this, [this] { PutProbes(); });
  connect(gProbes, &QTableView::activated, this,
          [this](const QModelIndex& index) { gProbes_Activated(index); });
  connect(gProbes->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SetEnable(); });
  connect(gProbes->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
    auto_fit_ = auto_fit_ && (fitting_ || column == ProbeTableModel::kStatus);
  });
  SetEnable();
}

void Probes::InitFrozenColumns() {
  gProbesFrozen = new QTableView(gProbes);
  QTableView* f = gProbesFrozen;
  f->setObjectName(QStringLiteral("gProbesFrozen"));
  f->setModel(proxy_);
  f->setSelectionModel(gProbes->selectionModel());  // one selection for both
  f->setFont(gProbes->font());
  f->horizontalHeader()->setFont(gProbes->horizontalHeader()->font());
  f->horizontalHeader()->setHighlightSections(false);
  f->setFocusPolicy(Qt::NoFocus);
  f->setSelectionBehavior(QAbstractItemView::SelectRows);
  f->setSelectionMode(QAbstractItemView::ExtendedSelection);
  f->setEditTriggers(QAbstractItemView::NoEditTriggers);
  f->setAlternatingRowColors(true);
  f->setWordWrap(false);
  f->verticalHeader()->setVisible(false);
  f->verticalHeader()->setDefaultSectionSize(gProbes->verticalHeader()->defaultSectionSize());
  f->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  f->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  f->setFrameShape(QFrame::NoFrame);
  // Sorting starts from the table's own order, not the header's default (descending).
  f->horizontalHeader()->setSortIndicator(gProbes->horizontalHeader()->sortIndicatorSection(),
                                          gProbes->horizontalHeader()->sortIndicatorOrder());
  f->setSortingEnabled(true);
  for (int c = ProbeTableModel::kSerial + 1; c < ProbeTableModel::kColumnCount; ++c)
    f->setColumnHidden(c, true);
  gProbes->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  gProbes->viewport()->stackUnder(f);
  gProbes->installEventFilter(this);
  // Both views sort, scroll and size their two columns together.
  QHeaderView* main = gProbes->horizontalHeader();
  connect(f->horizontalHeader(), &QHeaderView::sortIndicatorChanged, main,
          &QHeaderView::setSortIndicator);
  connect(main, &QHeaderView::sortIndicatorChanged, f->horizontalHeader(),
          &QHeaderView::setSortIndicator);
  connect(main, &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (column <= ProbeTableModel::kSerial) gProbesFrozen->setColumnWidth(column, size);
    PlaceFrozenColumns();
  });
  connect(f->verticalScrollBar(), &QScrollBar::valueChanged, gProbes->verticalScrollBar(),
          &QScrollBar::setValue);
  connect(gProbes->verticalScrollBar(), &QScrollBar::valueChanged, f->verticalScrollBar(),
          &QScrollBar::setValue);
  connect(f, &QTableView::activated, this,
          [this](const QModelIndex& index) { gProbes_Activated(index); });
  connect(gProbes->horizontalScrollBar(), &QScrollBar::rangeChanged, this,
          [this] { PlaceFrozenColumns(); });
  PlaceFrozenColumns();
}

void Probes::PlaceFrozenColumns() {
  const int frame = gProbes->frameWidth();
  const int width =
      gProbes->columnWidth(ProbeTableModel::kTag) + gProbes->columnWidth(ProbeTableModel::kSerial);
  gProbesFrozen->setGeometry(frame, frame, width,
                             gProbes->viewport()->height() + gProbes->horizontalHeader()->height());
  // Not needed while the table fits: the columns under it are then the same.
  gProbesFrozen->setVisible(gProbes->horizontalScrollBar()->maximum() > 0);
}

bool Probes::eventFilter(QObject* watched, QEvent* event) {
  if (watched == gProbes && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                             event->type() == QEvent::LayoutRequest))
    PlaceFrozenColumns();
  // The table's width settles after its first rows: the columns follow it until the user widens
  // or narrows one.
  if (watched == gProbes && event->type() == QEvent::Resize && auto_fit_ && model_->rowCount() > 0)
    FitColumns();
  return QWidget::eventFilter(watched, event);
}

void Probes::SetHistoryLocation(std::string location) {
  if (location == location_) return;
  location_ = std::move(location);
  store_.reset();
  open_error_.clear();
  opened_ = false;
  announced_ = false;
}

HistoryStore* Probes::store() {
  if (!store_ && open_error_.empty() && !location_.empty()) {
    if (opened_) open_error_ = MissingHistoryFile(location_);
    if (open_error_.empty()) store_ = OpenHistory(location_, &open_error_);
    if (!store_ && open_error_.empty()) open_error_ = "The history could not be opened.";
    opened_ = opened_ || store_ != nullptr;
  }
  if (!announced_ && (store_ || !open_error_.empty())) {
    announced_ = true;
    emit HistoryChanged();
  }
  return store_.get();
}

QString Probes::HistoryTitle() const {
  if (!store_ && !open_error_.empty()) return {};
  if (!store_) return {};
  const QString name = FromUtf8(HistoryDisplayName(location_));
  return store_->ReadOnly() ? name + QStringLiteral(" (read-only)") : name;
}

QString Probes::ReadOnlyReason() {
  HistoryStore* s = store_.get();
  if (s == nullptr || !s->ReadOnly()) return {};
  return IsServerLocation(location_)
             ? QStringLiteral(
                   "The history %1 is read-only: your role may list and graph, not "
                   "change it.")
                   .arg(FromUtf8(HistoryDisplayName(location_)))
             : QStringLiteral("The history %1 is read-only: the file may not be written.")
                   .arg(FromUtf8(location_));
}

void Probes::LoadSettings(const std::string& cfg_file) {
  IniFile ini;
  ini.SetIniFile(cfg_file);
  ini.SetIniSector(kProbesSection);
  SetRateWindow(ini.IniReadInt(kRateWindowKey, kDefaultRateWindow));
  chkAddDownloads->setChecked(ini.IniReadInt("AddDownloads", 1) != 0);
}

bool Probes::SaveSettings(const std::string& cfg_file) const {
  IniFile ini;
  ini.SetIniFile(cfg_file);  // keeps every other section as it is
  ini.SetIniSector(kProbesSection);
  // A key is written once it leaves its default, so that a settings file of a user who never
  // changed them holds only the program's classic keys.
  constexpr int32_t kAbsent = INT32_MIN;
  const struct {
    const char* key;
    int32_t value, def;
  } keys[] = {{kRateWindowKey, RateWindow(), kDefaultRateWindow},
              {"AddDownloads", chkAddDownloads->isChecked() ? 1 : 0, 1}};
  bool changed = false;
  for (const auto& k : keys) {
    if (k.value == k.def && ini.IniReadInt(k.key, kAbsent) == kAbsent) continue;
    ini.IniWriteInt(k.key, k.value);
    changed = true;
  }
  return !changed || ini.Flush();
}

int Probes::RateWindow() const {
  return cbWindow->currentData().toInt();
}

void Probes::SetRateWindow(int days) {
  cbWindow->setCurrentIndex(cbWindow->findData(OfferedRateWindow(days)));
}

void Probes::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (model_->rowCount() == 0) PutProbes();
}

void Probes::PutProbes() {
  if (!store_) open_error_.clear();  // tried again at every refresh
  HistoryStore* s = store();
  if (s == nullptr) {
    PutUnreachable(open_error_);
    return;
  }
  std::vector<ProbeSummary> list = s->ListProbes(RateWindow());
  if (Status st = s->LastError(); !st) {
    // A file put back or replaced meanwhile is opened afresh at the next refresh; a server
    // connection mends itself.
    if (!IsServerLocation(location_)) store_.reset();
    PutUnreachable(st.message);
    return;
  }
  gProbes->setPalette(QApplication::palette(gProbes));
  listed_at_ = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
  // The selection survives the new list, by probe.
  std::set<int64_t> selected;
  for (const ProbeSummary& p : SelectedProbes()) selected.insert(p.id);
  const bool first_fill = model_->rowCount() == 0;
  // An open graph shows the rates of the same window as the table.
  std::vector<PointSummary> points = s->ListPoints(RateWindow());
  if (Status st = s->LastError(); !st) {
    if (!IsServerLocation(location_)) store_.reset();
    PutUnreachable(st.message);
    return;
  }
  fmHist->PutRates(list, RateWindow());
  {
    std::vector<ProbeSummary> as_probes;
    for (const PointSummary& p : points) as_probes.push_back(PointAsProbe(p));
    fmHist->PutPointRates(as_probes, RateWindow());
  }
  model_->SetProbes(std::move(list), RateWindow());
  PutPlant(std::move(points));
  {
    const std::vector<FlagRow> flags = FlagRows();
    PutFlagCount(flags.size());
    if (fmFlags->isVisible()) fmFlags->PutFlags(flags);
  }
  if (first_fill) FitColumns();
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (selected.count(model_->probe(row).id) == 0) continue;
    const QModelIndex index = proxy_->mapFromSource(model_->index(row, 0));
    if (index.isValid())
      gProbes->selectionModel()->select(index,
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  PutCounts();
  SetEnable();
}

void Probes::FitColumns() {
  // The figures or the title, whichever is wider; room for the sort mark only where it is.
  QHeaderView* header = gProbes->horizontalHeader();
  fitting_ = true;  // not the user's resizing
  const QFontMetrics title_fm(header->font()), cell_fm(gProbes->font());
  const int rows = std::min(proxy_->rowCount(), 500);  // enough to judge a column's figures
  for (int c = 0; c < ProbeTableModel::kColumnCount; ++c) {
    const QString title = proxy_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    const int mark = c == header->sortIndicatorSection() ? 18 : 0;
    int width = title_fm.size(0, title).width() + 14 + mark;
    for (int r = 0; r < rows; ++r)
      width =
          std::max(width, cell_fm.horizontalAdvance(proxy_->index(r, c).data().toString()) + 12);
    header->resizeSection(c, width);
  }
  header->resizeSection(ProbeTableModel::kDataType,
                        std::min(header->sectionSize(ProbeTableModel::kDataType), 90));
  int total = 0;
  for (int c = 0; c < ProbeTableModel::kColumnCount; ++c) total += header->sectionSize(c);
  // Still too wide: the tag gives way first, down to a few characters, then the data type and
  // the probe type (their whole texts are in their tooltips), then the titles' room.
  const int room = gProbes->viewport()->width() - 8;  // the frame and rounding of the sections
  const std::pair<int, int> give_way[] = {
      {ProbeTableModel::kTag, 70},       {ProbeTableModel::kDataType, 60},
      {ProbeTableModel::kProbeType, 44}, {ProbeTableModel::kReadings, 54},
      {ProbeTableModel::kConsumed, 62},  {ProbeTableModel::kLatest, 84}};
  for (const auto& [column, least] : give_way) {
    if (total <= room) break;
    const int width = header->sectionSize(column);
    const int narrower = std::max(width - (total - room), std::min(width, least));
    header->resizeSection(column, narrower);
    total -= width - narrower;
  }
  fitting_ = false;
}

void Probes::PutCounts() {
  // The rows the filter leaves are the ones counted, so that the footer matches the table.
  int alarms = 0, warnings = 0;
  if (PointsShown()) {
    const int shown = points_proxy_->rowCount(), all = points_model_->rowCount();
    for (int r = 0; r < shown; ++r) {
      const PointSummary& p =
          points_model_->point(points_proxy_->mapToSource(points_proxy_->index(r, 0)).row());
      alarms += p.state == ProbeState::kAlarm;
      warnings += p.state == ProbeState::kWarning;
    }
    const QString points = shown == all
                               ? QStringLiteral("%1 points").arg(shown)
                               : QStringLiteral("%1 of %2 points shown").arg(shown).arg(all);
    PutStatus(
        QStringLiteral("%1, %2 in alarm, %3 in warning").arg(points).arg(alarms).arg(warnings));
    return;
  }
  const int shown = proxy_->rowCount();
  for (int r = 0; r < shown; ++r) {
    const ProbeSummary& p = model_->probe(proxy_->mapToSource(proxy_->index(r, 0)).row());
    alarms += p.state == ProbeState::kAlarm;
    warnings += p.state == ProbeState::kWarning;
  }
  const QString probes =
      shown == model_->rowCount()
          ? QStringLiteral("%1 probes").arg(shown)
          : QStringLiteral("%1 of %2 probes shown").arg(shown).arg(model_->rowCount());
  PutStatus(QStringLiteral("%1, %2 in alarm, %3 in warning").arg(probes).arg(alarms).arg(warnings));
}

std::vector<ProbeSummary> Probes::SelectedProbes() const {
  std::vector<ProbeSummary> out;
  const QModelIndexList rows = gProbes->selectionModel()->selectedRows();
  std::vector<int> view_rows;
  for (const QModelIndex& index : rows) view_rows.push_back(index.row());
  std::sort(view_rows.begin(), view_rows.end());
  for (int r : view_rows) {
    const QModelIndex source = proxy_->mapToSource(proxy_->index(r, 0));
    if (source.isValid()) out.push_back(model_->probe(source.row()));
  }
  return out;
}

bool Probes::PointsShown() const {
  return stViews != nullptr && stViews->currentWidget() == gPoints;
}

void Probes::SetEnable() {
  // The points view graphs a point and sets its limits; the probe actions wait for the probes.
  const bool points = PointsShown();
  const int n = points ? static_cast<int>(gPoints->selectionModel()->selectedRows().size())
                       : static_cast<int>(gProbes->selectionModel()->selectedRows().size());
  const bool busy = Importing() || Reporting();
  btnGraph->setEnabled(n == 1);
  btnOverlay->setEnabled(!points && n >= 2);
  btnReport->setEnabled(!busy);
  btnConflicts->setEnabled(!points && n == 1);
  btnUnimport->setEnabled(!busy && ReadOnlyReason().isEmpty());
  lbHistory->setText(store_ ? QStringLiteral("History: ") + HistoryTitle() : QString());
  lbHistory->setToolTip(FromUtf8(location_));
  const QString read_only = ReadOnlyReason();
  for (QPushButton* b : {btnImport, btnLimits, btnRemove}) {
    // The button's own hint comes back once the history may be changed again.
    if (!read_only.isEmpty() && !b->property("hint").isValid())
      b->setProperty("hint", b->toolTip());
    if (read_only.isEmpty() && b->property("hint").isValid()) {
      b->setToolTip(b->property("hint").toString());
      b->setProperty("hint", QVariant());
    }
    if (!read_only.isEmpty()) b->setToolTip(read_only);
    b->setEnabled(read_only.isEmpty() && (b != btnImport || !busy) && (b != btnRemove || !points));
  }
}

void Probes::PutUnreachable(const std::string& reason) {
  QString text = FromUtf8(reason);
  if (opened_ && !text.startsWith(QStringLiteral("Cannot reach the history")))
    text = QStringLiteral("Cannot reach the history: ") + text;
  if (model_->rowCount() > 0) {
    // The rows stay, greyed: an empty table would pass itself off as an empty history.
    QPalette stale = QApplication::palette(gProbes);
    stale.setColor(QPalette::Text, stale.color(QPalette::Disabled, QPalette::Text));
    gProbes->setPalette(stale);
    text +=
        QStringLiteral(" The list shows what was read at %1 and is not current.").arg(listed_at_);
  }
  PutStatus(text);
  SetEnable();
}

void Probes::PutStatus(const QString& text) {
  lbStatus->setText(text);
}

// ---- Report ----

void Probes::SaveReport() {
  HistoryStore* s = store();
  if (s == nullptr) {
    ShowError(this, FromUtf8(open_error_));
    return;
  }
  ReportRequest request;
  request.window_days = RateWindow();
  const std::vector<ProbeSummary> selected = SelectedProbes();
  const bool filtered = proxy_->rowCount() != model_->rowCount();
  const QString fleet = filtered ? QStringLiteral("the %1 probes shown under the filter \"%2\"")
                                       .arg(proxy_->rowCount())
                                       .arg(edFilter->text())
                                 : QStringLiteral("the whole fleet");
  bool only_selected = false;
  if (!selected.empty()) {
    QMessageBox ask(
        QMessageBox::Question, QStringLiteral("Report"),
        QStringLiteral("Report the %1 selected probe(s), or %2?").arg(selected.size()).arg(fleet),
        QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("msgReportScope"));
    QPushButton* chosen =
        ask.addButton(QStringLiteral("&Selected probes"), QMessageBox::AcceptRole);
    QPushButton* all =
        ask.addButton(filtered ? QStringLiteral("&Probes shown") : QStringLiteral("&Whole fleet"),
                      QMessageBox::AcceptRole);
    ask.setDefaultButton(chosen);
    ask.exec();
    if (ask.clickedButton() != chosen && ask.clickedButton() != all) return;
    only_selected = ask.clickedButton() == chosen;
  }
  if (only_selected) {
    for (const ProbeSummary& p : selected) request.probe_ids.push_back(p.id);
    request.scope = ToUtf8(QStringLiteral("the %1 selected probe(s)").arg(selected.size()));
  } else {
    for (int r = 0; filtered && r < proxy_->rowCount(); ++r)
      request.probe_ids.push_back(model_->probe(proxy_->mapToSource(proxy_->index(r, 0)).row()).id);
    request.scope = ToUtf8(fleet);
    if (filtered && request.probe_ids.empty()) {
      ShowError(this, QStringLiteral("The filter leaves no probe to report."));
      return;
    }
  }
  QFileDialog dialog(this, QStringLiteral("Report"), report_folder_.Start(FromUtf8(DataPath)));
  dialog.setObjectName(QStringLiteral("saveReportDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters({QStringLiteral("PDF document(*.pdf)")});
  FollowChosenType(&dialog);
  const bool ok = exec_open_dialog ? exec_open_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  QString path;
  if (!ok || ChosenFileType(&dialog, &path) < 0) return;
  report_folder_.Use(path);
  StartReport(request, path);
}

void Probes::StartReport(const ReportRequest& request, const QString& path) {
  if (Importing() || Reporting()) return;
  if (const std::string missing = opened_ ? MissingHistoryFile(location_) : ""; !missing.empty()) {
    ShowError(this, FromUtf8(missing));
    return;
  }
  report_ = new ReportJob(location_, request, ToUtf8(path), this);
  connect(report_, &ReportJob::Progress, this, [this](int done, int total) {
    prgImport->setRange(0, total);
    prgImport->setValue(done);
    PutStatus(QStringLiteral("Writing the report: probe %1 of %2").arg(done).arg(total));
  });
  connect(report_, &ReportJob::Finished, this, &Probes::ReportJob_Finished);
  prgImport->setRange(0, 0);
  prgImport->show();
  btnCancel->show();
  btnCancel->setEnabled(true);
  PutStatus(QStringLiteral("Writing the report..."));
  SetEnable();
  report_->Start();
}

void Probes::CancelReport() {
  if (!Reporting()) return;
  report_->Cancel();
  btnCancel->setEnabled(false);
  PutStatus(QStringLiteral("Cancelling the report..."));
}

void Probes::ReportJob_Finished() {
  const bool saved = report_->saved();
  const QString error = FromUtf8(report_->error());
  const QString path = FromUtf8(report_->path());
  const QString scope = FromUtf8(report_->request().scope);
  report_->deleteLater();
  report_ = nullptr;
  prgImport->hide();
  btnCancel->hide();
  SetEnable();
  if (saved) {
    PutStatus(scope.isEmpty() ? QStringLiteral("Report saved to %1").arg(path)
                              : QStringLiteral("Report of %1 saved to %2").arg(scope, path));
  } else if (error == QLatin1String(kReportCancelled)) {
    PutStatus(error);
  } else {
    PutStatus(QStringLiteral("The report was not saved."));
    ShowError(this, error);
  }
  emit ReportFinished();
}

// ---- Import ----

void Probes::btnImport_Click() {
  QFileDialog dialog(this, QStringLiteral("Import"),
                     import_folder_.Start(FromUtf8(DataPath) + QStringLiteral("DOWNLOAD")));
  dialog.setObjectName(QStringLiteral("openFileDialog"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  // Coupon files go in beside the probes' files, each to its point.
  dialog.setNameFilters(WithAllFiles(
      {QStringLiteral(
           "Instrument and coupon data(*.nid *.NID *.txt *.TXT *.csv *.CSV *.CPN *.cpn)"),
       QStringLiteral("Instrument data(*.nid *.NID *.txt *.TXT *.csv *.CSV)"),
       QStringLiteral("Coupon Data(*.CPN *.cpn)")}));
  const bool ok = exec_open_dialog ? exec_open_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  if (!ok || dialog.selectedFiles().isEmpty()) return;
  import_folder_.Use(dialog.selectedFiles().front());
  StartImport(dialog.selectedFiles());
}

void Probes::dragEnterEvent(QDragEnterEvent* event) {
  if (!Importing() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void Probes::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
  }
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  StartImport(files);
}

bool Probes::Importing() const {
  return job_ != nullptr;
}

void Probes::StartImport(const QStringList& files) {
  if (Importing() || Reporting() || files.isEmpty()) return;
  if (store() == nullptr) {
    ShowError(this, FromUtf8(open_error_));
    return;
  }
  if (store()->ReadOnly()) {
    ShowError(this, QStringLiteral("The history %1 is read-only: nothing can be imported into it.")
                        .arg(FromUtf8(location_)));
    return;
  }
  job_ = new ImportJob(location_, files, vSetup.pi_of_tubular, this);
  job_files_ = static_cast<int>(files.size());
  connect(job_, &ImportJob::Progress, this, &Probes::ImportJob_Progress);
  connect(job_, &ImportJob::Finished, this, &Probes::ImportJob_Finished);
  prgImport->setRange(0, 100);
  prgImport->setValue(0);
  prgImport->show();
  btnCancel->show();
  btnCancel->setEnabled(true);
  PutStatus(QStringLiteral("Importing %1 file(s)...").arg(job_files_));
  SetEnable();
  job_->Start();
}

void Probes::ImportJob_Progress(int file, qint64 readings, int percent) {
  prgImport->setValue(percent);
  PutStatus(QStringLiteral("Importing file %1 of %2: %3 readings (%4 %)")
                .arg(file + 1)
                .arg(job_files_)
                .arg(readings)
                .arg(percent));
}

void Probes::CancelImport() {
  if (!Importing()) return;
  job_->Cancel();
  btnCancel->setEnabled(false);
  PutStatus(QStringLiteral("Cancelling the import..."));
}

void Probes::ImportJob_Finished() {
  const ImportSummary summary = job_->summary();
  job_->deleteLater();
  job_ = nullptr;
  prgImport->hide();
  btnCancel->hide();
  PutProbes();
  QMessageBox box(QMessageBox::Information, QStringLiteral("Import"), SummaryText(summary),
                  QMessageBox::Ok, this);
  box.exec();
  emit ImportFinished();
}

void Probes::ImportSaved(const QString& path) {
  if (!chkAddDownloads->isChecked() || Importing()) return;
  HistoryStore* s = store();
  if (s == nullptr) {
    PutStatus(FromUtf8(open_error_));
    return;
  }
  // A downloaded file is small: it goes in at once.
  ImportControl control;
  control.pi_of_tubular = vSetup.pi_of_tubular;
  const ImportResult r = s->Import(ToUtf8(path), control);
  const QString name = QFileInfo(path).fileName();
  if (!r.status) {
    // Said where the user is (the download tab), not only on this tab's status line.
    const QString text = QStringLiteral("%1 was saved, but not added to the history: %2")
                             .arg(name, FromUtf8(r.status.message));
    PutStatus(text);
    ShowError(window(),
              text + QStringLiteral("\n\nTo save downloads without adding them, turn off \"Add "
                                    "saved downloads to the history\" on the Probes tab."));
    return;
  }
  PutProbes();
  QString text =
      QStringLiteral("%1 added to the history: %2 new readings, %3 duplicates, %4 conflicts")
          .arg(name)
          .arg(r.added)
          .arg(r.duplicates)
          .arg(r.conflicts);
  if (!r.conflict_probes.empty())
    text += QStringLiteral(" (in %1)").arg(Chars2SysStr(ProbeKeyNames(r.conflict_probes).c_str()));
  PutStatus(text);
}

// ---- Graphs ----

HistoryReader Probes::Reader() {
  // The store at each read: it may be opened afresh while the graph is shown.
  return [this](int64_t id, HistoryTime from, HistoryTime to, int32_t columns) {
    HistoryStore* s = store();
    return s != nullptr ? s->ReadDecimated(id, from, to, columns) : std::vector<HistoryReading>{};
  };
}

void Probes::gProbes_Activated(const QModelIndex& index) {
  const QModelIndex source = proxy_->mapToSource(index);
  if (!source.isValid()) return;
  if (store() == nullptr) {
    PutUnreachable(open_error_);
    return;
  }
  fmHist->Open(Reader(), {model_->probe(source.row())}, RateWindow());
  const PointSummary* point = PointOfProbe(model_->probe(source.row()).id);
  GraphOpened(point != nullptr ? point->id : 0);
}

void Probes::OpenGraph() {
  if (PointsShown()) {
    const std::vector<int64_t> points = SelectedPoints();
    if (points.size() == 1) OpenPointGraph(points.front());
    return;
  }
  const std::vector<ProbeSummary> probes = SelectedProbes();
  if (probes.size() != 1) return;
  if (store() == nullptr) {
    PutUnreachable(open_error_);
    return;
  }
  fmHist->Open(Reader(), probes, RateWindow());
  const PointSummary* point = PointOfProbe(probes.front().id);
  GraphOpened(point != nullptr ? point->id : 0);
}

void Probes::OpenOverlay() {
  const std::vector<ProbeSummary> probes = SelectedProbes();
  if (probes.size() < 2 || store() == nullptr) return;
  const std::string refusal = OverlayRefusal(probes);
  if (!refusal.empty()) {
    ShowError(this, FromUtf8(refusal));
    return;
  }
  fmHist->Open(Reader(), probes, RateWindow());
  GraphOpened(0);
}

// ---- Limits and removal ----

void Probes::SetLimits() {
  HistoryStore* s = store();
  if (s == nullptr) return;
  if (PointsShown()) {
    SetPointLimits();
    return;
  }
  const std::vector<ProbeSummary> probes = SelectedProbes();
  QStringList names;
  for (const ProbeSummary& p : probes) names << FromUtf8(ProbeName(p));
  const HistoryLimits defaults = s->GetLimits(0);
  fmLimits->Init(defaults, probes.empty() ? defaults : probes.front().limits, names);
  const bool ok =
      exec_limits_dialog ? exec_limits_dialog(fmLimits) : fmLimits->exec() == QDialog::Accepted;
  if (!ok) return;
  Status status;
  if (fmLimits->ForDefaults()) {
    status = s->SetLimits(0, fmLimits->limits());
  } else {
    for (const ProbeSummary& p : probes) {
      status =
          fmLimits->UseDefaults() ? s->ClearLimits(p.id) : s->SetLimits(p.id, fmLimits->limits());
      if (!status) break;
    }
  }
  if (!status) ShowError(this, FromUtf8(status.message));
  PutProbes();
}

void Probes::SetPointLimits() {
  HistoryStore* s = store();
  const std::vector<int64_t> ids = SelectedPoints();
  const HistoryLimits defaults = s->GetLimits(0);
  const PointSummary* point = ids.size() == 1 ? PointWithId(ids.front()) : nullptr;
  fmLimits->Init(
      defaults, point != nullptr ? point->limits : defaults,
      point != nullptr ? QStringList{FromUtf8(NarrowToUtf8(point->path))} : QStringList{});
  const bool ok =
      exec_limits_dialog ? exec_limits_dialog(fmLimits) : fmLimits->exec() == QDialog::Accepted;
  if (!ok) return;
  Status status;
  if (fmLimits->ForDefaults() || point == nullptr) {
    status = s->SetLimits(0, fmLimits->limits());
  } else {
    status = s->SetPointLimits(point->id, fmLimits->UseDefaults()
                                              ? std::optional<HistoryLimits>()
                                              : std::optional<HistoryLimits>(fmLimits->limits()));
  }
  if (!status) ShowError(this, FromUtf8(status.message));
  PutProbes();
}

void Probes::RemoveProbes() {
  HistoryStore* s = store();
  const std::vector<ProbeSummary> probes = SelectedProbes();
  if (s == nullptr || probes.empty() || Importing()) return;
  int64_t readings = 0;
  for (const ProbeSummary& p : probes) readings += p.count;
  const QString question =
      probes.size() == 1
          ? QStringLiteral("Remove probe %1 and its %2 readings from the history?")
                .arg(FromUtf8(ProbeName(probes.front())))
                .arg(readings)
          : QStringLiteral("Remove %1 probes and their %2 readings from the history?")
                .arg(probes.size())
                .arg(readings);
  // No is the default: Enter must not delete a probe's whole history.
  if (!AskConfirm(this, question, /*default_no=*/true)) return;
  for (const ProbeSummary& p : probes) {
    const Status status = s->RemoveProbe(p.id);
    if (!status) {
      ShowError(this, FromUtf8(status.message));
      break;
    }
  }
  gProbes->clearSelection();
  PutProbes();
}

}  // namespace tarn

namespace tarn {

// ---- Conflicts and undoing an import ----

void Probes::OpenConflicts() {
  const std::vector<ProbeSummary> probes = SelectedProbes();
  if (probes.size() != 1 || store() == nullptr) return;
  fmConflicts->Open([this] { return store(); }, probes.front());
}

void Probes::UndoImport() {
  HistoryStore* s = store();
  if (s == nullptr) {
    ShowError(this, FromUtf8(open_error_));
    return;
  }
  if (Importing() || Reporting()) return;
  std::vector<HistorySourceFile> files = s->SourceFiles();
  if (Status st = s->LastError(); !st) {
    ShowError(this, FromUtf8(st.message));
    return;
  }
  if (files.empty()) {
    ShowError(this, QStringLiteral("No file has been imported into the history."));
    return;
  }
  std::reverse(files.begin(), files.end());  // the latest first
  QStringList items;
  for (const HistorySourceFile& f : files) {
    items << QStringLiteral("%1  (imported %2, %3 new readings)")
                 .arg(FromUtf8(f.name),
                      FromUtf8(DateTime2Str(DateTime{f.imported_at * kTicksPerSecond})))
                 .arg(f.readings);
  }
  QInputDialog dialog(this);
  dialog.setObjectName(QStringLiteral("undoImportDialog"));
  dialog.setWindowTitle(QStringLiteral("Undo import"));
  dialog.setLabelText(QStringLiteral("The import to undo:"));
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  const bool ok =
      exec_input_dialog ? exec_input_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  const qsizetype chosen = items.indexOf(dialog.textValue());
  if (!ok || chosen < 0) return;
  const HistorySourceFile& file = files[static_cast<std::size_t>(chosen)];
  const UnimportResult plan = s->Unimport(file.id, false);
  if (!plan.status) {
    ShowError(this, FromUtf8(plan.status.message));
    return;
  }
  QString question = QStringLiteral("Remove the %1 readings that %2 brought from the history?")
                         .arg(plan.readings)
                         .arg(FromUtf8(file.name));
  if (plan.conflicts > 0)
    question += QStringLiteral(" The %1 conflicting values it offered go too.").arg(plan.conflicts);
  if (plan.promoted > 0)
    question +=
        QStringLiteral(" %1 values that later files offered take the place of its readings.")
            .arg(plan.promoted);
  if (!plan.emptied.empty())
    question += QStringLiteral(" Probes left without readings are removed with their limits: %1.")
                    .arg(Chars2SysStr(ProbeKeyNames(plan.emptied).c_str()));
  if (!AskConfirm(this, question)) return;
  const UnimportResult done = s->Unimport(file.id, true);
  if (!done.status) {
    ShowError(this, FromUtf8(done.status.message));
    return;
  }
  gProbes->clearSelection();
  PutProbes();
  PutStatus(QStringLiteral("%1 readings of %2 removed from the history")
                .arg(done.readings)
                .arg(QFileInfo(FromUtf8(file.name)).fileName()));
}

}  // namespace tarn
