#include "history/ui/probes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <climits>
#include <set>

#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/widget_builders.h"
#include "history/ui/history_report.h"
#include "history/ui/history_watcher.h"
#include "history/ui/import_job.h"
#include "history/ui/limits_dialog.h"
#include "history/ui/probe_table_model.h"
#include "history/ui/view_history.h"
#include "settings/ini_file.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr char kSection[] = "Probes";

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
  QPushButton* b = MakeButton(name, QString::fromLatin1(text), parent);
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
      proxy_(new QSortFilterProxyModel(this)),
      fmHist(new ViewHistory(this)),
      fmLimits(new LimitsDialog(this)) {
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

  btnImport = Button("btnImport", "&Import", this);
  btnGraph = Button("btnGraph", "&Graph", this);
  btnOverlay = Button("btnOverlay", "&Overlay", this);
  btnLimits = Button("btnLimits", "&Limits", this);
  btnRemove = Button("btnRemove", "&Remove", this);
  btnReport = Button("btnReport", "Re&port", this);
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
  for (QPushButton* b : {btnImport, btnGraph, btnOverlay, btnLimits, btnRemove, btnReport})
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

  btnCancel = Button("btnCancel", "&Cancel", this);
  prgImport = new QProgressBar(this);
  prgImport->setObjectName(QStringLiteral("prgImport"));
  lbStatus = new QLabel(this);
  lbStatus->setObjectName(QStringLiteral("lbStatus"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lbStatus, 1);
  bottom->addWidget(chkAddDownloads);
  bottom->addWidget(prgImport);
  bottom->addWidget(btnCancel);
  prgImport->hide();
  btnCancel->hide();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addLayout(top);
  layout->addWidget(gProbes, 1);
  layout->addLayout(bottom);

  connect(btnImport, &QPushButton::clicked, this, [this] { btnImport_Click(); });
  connect(btnGraph, &QPushButton::clicked, this, [this] { OpenGraph(); });
  connect(btnOverlay, &QPushButton::clicked, this, [this] { OpenOverlay(); });
  connect(btnLimits, &QPushButton::clicked, this, [this] { SetLimits(); });
  connect(btnRemove, &QPushButton::clicked, this, [this] { RemoveProbes(); });
  connect(btnReport, &QPushButton::clicked, this, [this] { SaveReport(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { CancelImport(); });
  connect(edFilter, &QLineEdit::textChanged, proxy_, &QSortFilterProxyModel::setFilterFixedString);
  connect(cbWindow, &QComboBox::currentIndexChanged, this, [this] { PutProbes(); });
  connect(gProbes, &QTableView::activated, this,
          [this](const QModelIndex& index) { gProbes_Activated(index); });
  connect(gProbes->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SetEnable(); });
  SetEnable();
}

void Probes::SetHistoryLocation(std::string location) {
  if (location == location_) return;
  location_ = std::move(location);
  store_.reset();
  open_error_.clear();
}

HistoryStore* Probes::store() {
  if (!store_ && open_error_.empty() && !location_.empty()) {
    store_ = OpenHistory(location_, &open_error_);
    if (!store_ && open_error_.empty()) open_error_ = "The history could not be opened.";
  }
  return store_.get();
}

void Probes::LoadSettings(const std::string& cfg_file) {
  IniFile ini;
  ini.SetIniFile(cfg_file);
  ini.SetIniSector(kSection);
  SetRateWindow(ini.IniReadInt("RateWindow", kDefaultRateWindow));
  chkAddDownloads->setChecked(ini.IniReadInt("AddDownloads", 1) != 0);
}

bool Probes::SaveSettings(const std::string& cfg_file) const {
  IniFile ini;
  ini.SetIniFile(cfg_file);  // keeps every other section as it is
  ini.SetIniSector(kSection);
  // A key is written once it leaves its default, so that a settings file of a user who never
  // changed them holds only the program's classic keys.
  constexpr int32_t kAbsent = INT32_MIN;
  const struct {
    const char* key;
    int32_t value, def;
  } keys[] = {{"RateWindow", RateWindow(), kDefaultRateWindow},
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
  const int index = cbWindow->findData(days);
  // A window the tab does not offer falls back to the default, as other settings do.
  cbWindow->setCurrentIndex(index >= 0 ? index : cbWindow->findData(kDefaultRateWindow));
}

void Probes::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (model_->rowCount() == 0) PutProbes();
}

void Probes::PutProbes() {
  HistoryStore* s = store();
  if (s == nullptr) {
    model_->SetProbes({});
    PutStatus(FromUtf8(open_error_));
    SetEnable();
    return;
  }
  // The selection survives the new list, by probe.
  std::set<int64_t> selected;
  for (const ProbeSummary& p : SelectedProbes()) selected.insert(p.id);
  const bool first_fill = model_->rowCount() == 0;
  model_->SetProbes(s->ListProbes(RateWindow()));
  if (first_fill) gProbes->resizeColumnsToContents();
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (selected.count(model_->probe(row).id) == 0) continue;
    const QModelIndex index = proxy_->mapFromSource(model_->index(row, 0));
    if (index.isValid())
      gProbes->selectionModel()->select(index,
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  int alarms = 0, warnings = 0;
  for (const ProbeSummary& p : model_->probes()) {
    alarms += p.state == ProbeState::kAlarm;
    warnings += p.state == ProbeState::kWarning;
  }
  PutStatus(QStringLiteral("%1 probes, %2 in alarm, %3 in warning")
                .arg(model_->rowCount())
                .arg(alarms)
                .arg(warnings));
  SetEnable();
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

void Probes::SetEnable() {
  const int n = gProbes->selectionModel()->selectedRows().size();
  const bool importing = Importing();
  btnGraph->setEnabled(n == 1);
  btnOverlay->setEnabled(n >= 2);
  btnImport->setEnabled(!importing);
  btnReport->setEnabled(!importing);
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
  ReportRequest request;
  for (const ProbeSummary& p : SelectedProbes()) request.probe_ids.push_back(p.id);
  request.window_days = RateWindow();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string error;
  const bool saved = SaveHistoryReport(*s, request, ToUtf8(path), &error);
  QApplication::restoreOverrideCursor();
  if (!saved) {
    ShowError(this, FromUtf8(error));
    return;
  }
  PutStatus(QStringLiteral("Report saved to %1").arg(path));
}

// ---- Import ----

void Probes::btnImport_Click() {
  QFileDialog dialog(this, QStringLiteral("Import"),
                     import_folder_.Start(FromUtf8(DataPath) + QStringLiteral("DOWNLOAD")));
  dialog.setObjectName(QStringLiteral("openFileDialog"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters(
      WithAllFiles({QStringLiteral("Instrument data(*.nid *.NID *.txt *.TXT *.csv *.CSV)")}));
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
  if (Importing() || files.isEmpty()) return;
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
  // Several files move the bar file by file; a single file shows that work is going on.
  prgImport->setRange(0, job_files_ > 1 ? job_files_ : 0);
  prgImport->setValue(0);
  prgImport->show();
  btnCancel->show();
  btnCancel->setEnabled(true);
  PutStatus(QStringLiteral("Importing %1 file(s)...").arg(job_files_));
  SetEnable();
  job_->Start();
}

void Probes::ImportJob_Progress(int file, qint64 readings) {
  if (job_files_ > 1) prgImport->setValue(file);
  PutStatus(QStringLiteral("Importing file %1 of %2: %3 readings")
                .arg(file + 1)
                .arg(job_files_)
                .arg(readings));
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
    PutStatus(QStringLiteral("%1 was not added to the history: %2")
                  .arg(name, FromUtf8(r.status.message)));
    return;
  }
  PutProbes();
  PutStatus(QStringLiteral("%1 added to the history: %2 new readings, %3 duplicates, %4 conflicts")
                .arg(name)
                .arg(r.added)
                .arg(r.duplicates)
                .arg(r.conflicts));
}

// ---- Graphs ----

HistoryReader Probes::Reader() {
  HistoryStore* s = store();
  return [s](int64_t id, HistoryTime from, HistoryTime to, int32_t columns) {
    return s != nullptr ? s->ReadDecimated(id, from, to, columns) : std::vector<HistoryReading>{};
  };
}

void Probes::gProbes_Activated(const QModelIndex& index) {
  const QModelIndex source = proxy_->mapToSource(index);
  if (!source.isValid() || store() == nullptr) return;
  fmHist->Open(Reader(), {model_->probe(source.row())});
}

void Probes::OpenGraph() {
  const std::vector<ProbeSummary> probes = SelectedProbes();
  if (probes.size() != 1 || store() == nullptr) return;
  fmHist->Open(Reader(), probes);
}

void Probes::OpenOverlay() {
  const std::vector<ProbeSummary> probes = SelectedProbes();
  if (probes.size() < 2 || store() == nullptr) return;
  const std::string refusal = OverlayRefusal(probes);
  if (!refusal.empty()) {
    ShowError(this, FromUtf8(refusal));
    return;
  }
  fmHist->Open(Reader(), probes);
}

// ---- Limits and removal ----

void Probes::SetLimits() {
  HistoryStore* s = store();
  if (s == nullptr) return;
  const std::vector<ProbeSummary> probes = SelectedProbes();
  QStringList names;
  for (const ProbeSummary& p : probes) names << FromUtf8(ProbeName(p));
  const HistoryLimits defaults = s->GetLimits(0);
  fmLimits->Init(defaults, probes.empty() ? defaults : probes.front().limits, names);
  const bool ok =
      exec_limits_dialog ? exec_limits_dialog(fmLimits) : fmLimits->exec() == QDialog::Accepted;
  if (!ok) return;
  HistoryStatus status;
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
  if (!AskConfirm(this, question)) return;
  for (const ProbeSummary& p : probes) {
    const HistoryStatus status = s->RemoveProbe(p.id);
    if (!status) {
      ShowError(this, FromUtf8(status.message));
      break;
    }
  }
  gProbes->clearSelection();
  PutProbes();
}

}  // namespace tarn
