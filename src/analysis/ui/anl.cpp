// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ui/anl.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "analysis/analysis_export.h"
#include "analysis/ui/anl_models.h"
#include "common/ui/about.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/screen_keys.h"
#include "common/ui/widget_builders.h"
#include "graph/ui/graph_records.h"
#include "graph/ui/view_grp.h"
#include "settings/ui/settings_records.h"

namespace tarn {

// One open or tag read on the worker thread, with a reader and graph data set of its own; the
// screen takes its results over when it ends, unless it was cancelled or replaced first.
struct LoadJob : Notifier {
  explicit LoadJob(const _basic_set_& s)
      : setup(s), grp(std::make_unique<_grp_values_>()), reader(*grp, setup, this) {
    reader.SetProgress(&progress);
  }
  void Error(std::string_view text) override {
    (open_done ? data_messages : open_messages).emplace_back(text);
  }
  void Run() {
    if (open) {
      reader.Open(path);
      reader.FileName = path;
      open_done = true;
      if (reader.tag_count > 0 && !reader.cancelled()) reader.GetData(0);
    } else {
      open_done = true;
      reader.GetData(tag);
    }
  }

  _basic_set_ setup;
  std::unique_ptr<_grp_values_> grp;
  NembraReader reader;
  ReadProgress progress;
  std::string path;
  bool open = true;
  int32_t tag = 0;
  bool open_done = false;
  std::vector<std::string> open_messages;
  std::vector<std::string> data_messages;
  QElapsedTimer started;
};

namespace {

// The progress bar shows only for reads that last longer than this.
constexpr qint64 kProgressAfterMs = 300;

const char* const kDateHeader = "Received Date / Time";

// Read-only, no row headers, columns sharing the width, nothing resizable or sortable.
void SetUpGrid(QTableView* grid) {
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid->setSortingEnabled(false);
  grid->setWordWrap(false);
  grid->setCornerButtonEnabled(false);
  grid->verticalHeader()->hide();
  // Fixed row heights keep a grid of 65535 rows from measuring every row.
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grid->horizontalHeader()->setSectionsClickable(false);
  grid->horizontalHeader()->setSectionsMovable(false);
  grid->horizontalHeader()->setHighlightSections(false);
}

// A reused dialog starts with no file chosen, as a new one does.
void ClearChoice(QFileDialog* dialog) {
  for (auto* view : dialog->findChildren<QAbstractItemView*>()) view->clearSelection();
  for (auto* edit : dialog->findChildren<QLineEdit*>()) edit->clear();
}

}  // namespace

Anl::Anl(QWidget* parent)
    : QWidget(parent),
      fmGrp([this] { return new ViewGrp(this); }),
      fmAbout([this] { return new about(this); }),
      reader_(vGrpData, vSetup, this) {
  InitializeComponent();
}

Anl::~Anl() {
  CancelLoad();
  // A cancelled read stops at its next look at the flag; nothing may outlive the screen.
  for (QThread* worker : workers_) {
    worker->wait();
    delete worker;
  }
}

void Anl::InitializeComponent() {
  setObjectName(QStringLiteral("Anl"));
  setFont(QFont(QStringLiteral("Verdana"), 9));
  resize(883, 656);

  // Left: data-type title, tag list, information grid.
  panel2 = MakePanel("panel2", this);
  panel2->setFixedWidth(371);
  lbDataType = MakeLabel("lbDataType", "ER Data", panel2);
  lbDataType->setFixedHeight(27);
  lbDataType->setAlignment(Qt::AlignCenter);
  QFont bold = lbDataType->font();
  bold.setBold(true);
  lbDataType->setFont(bold);

  panel4 = MakePanel("panel4", panel2);
  label1 = MakeLabel("label1", "Tag Name", panel4);
  lbTagCnt = MakeLabel("lbTagCnt", "Tag Count : 0", panel4);
  lbTagNote = MakeLabel("lbTagNote", "", panel4);
  lbTagNote->setWordWrap(true);
  lbTagNote->hide();
  lstBox = new QListWidget(panel4);
  lstBox->setObjectName(QStringLiteral("lstBox"));
  lstBox->setFixedWidth(172);
  lstBox->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* captions = new QVBoxLayout;
  captions->setContentsMargins(0, 0, 0, 0);
  captions->addWidget(label1);
  captions->addWidget(lbTagCnt);
  captions->addWidget(lbTagNote);
  captions->addStretch(1);
  auto* tags = new QHBoxLayout(panel4);
  tags->setContentsMargins(10, 8, 8, 8);
  tags->addLayout(captions, 1);
  tags->addWidget(lstBox);

  info_model_ = new InfoModel(this);
  gInfo = new QTableView(panel2);
  gInfo->setObjectName(QStringLiteral("gInfo"));
  gInfo->setModel(info_model_);
  SetUpGrid(gInfo);
  gInfo->setFixedHeight(217);
  gInfo->setFrameShape(QFrame::NoFrame);
  gInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  gInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  gInfo->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  auto* left = new QVBoxLayout(panel2);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  left->addWidget(lbDataType);
  left->addWidget(panel4, 1);
  left->addWidget(gInfo);

  // Centre: reading count and reading grid.
  pnBase = MakePanel("pnBase", this);
  lbDataCnt = MakeLabel("lbDataCnt", "Data Count : 0", pnBase);
  lbDataCnt->setFixedHeight(27);
  lbDataCnt->setAlignment(Qt::AlignCenter);
  lbDataNote = MakeLabel("lbDataNote", "", pnBase);
  lbDataNote->setAlignment(Qt::AlignCenter);
  lbDataNote->hide();
  view_model_ = new ReadingModel(reader_, this);
  view_model_->SetHeaders(QStringLiteral("Receive Date/Time"), QStringLiteral("Metal Loss"));
  gView = new QTableView(pnBase);
  gView->setObjectName(QStringLiteral("gView"));
  gView->setModel(view_model_);
  SetUpGrid(gView);
  gView->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  auto* centre = new QVBoxLayout(pnBase);
  centre->setContentsMargins(0, 0, 0, 0);
  centre->setSpacing(0);
  centre->addWidget(lbDataCnt);
  centre->addWidget(lbDataNote);
  centre->addWidget(gView, 1);

  // Right: the buttons.
  panel1 = MakePanel("panel1", this);
  panel1->setFixedWidth(156);
  btnOpen = MakeButton("btnOpen", "&Open", panel1,
                       KeyHint("Open an instrument data file", ScreenKey::kOpen));
  btnExport =
      MakeButton("btnExport", "&Export", panel1,
                 KeyHint("Export the shown tag as CSV or spreadsheet file", ScreenKey::kExport));
  btnGraph = MakeButton("btnGraph", "&Graph", panel1,
                        KeyHint("Show the shown tag's readings as a graph", ScreenKey::kGraph));
  btnAbout = MakeButton("btnAbout", "&About", panel1, "About this program");
  for (QPushButton* b : {btnOpen, btnExport, btnGraph, btnAbout}) b->setFixedSize(119, 55);
  auto* right = new QVBoxLayout(panel1);
  right->setContentsMargins(0, 12, 0, 12);
  right->setSpacing(10);
  right->addWidget(btnOpen, 0, Qt::AlignHCenter);
  right->addWidget(btnExport, 0, Qt::AlignHCenter);
  right->addWidget(btnGraph, 0, Qt::AlignHCenter);
  right->addStretch(1);
  right->addWidget(btnAbout, 0, Qt::AlignHCenter);

  // Bottom: the status line.
  panel3 = MakePanel("panel3", this);
  panel3->setFixedHeight(22);
  lbTitle = MakeLabel("lbTitle", "ANALYSIS", panel3);
  lbTitle->setFont(bold);
  lbSt1 = MakeLabel("lbSt1", "File Name", panel3);
  lbSt2 = MakeLabel("lbSt2", "", panel3);
  lbSt2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  pbLoad = new QProgressBar(panel3);
  pbLoad->setObjectName(QStringLiteral("pbLoad"));
  pbLoad->setFixedWidth(160);
  pbLoad->setTextVisible(false);
  pbLoad->hide();
  btnCancel = MakeButton("btnCancel", QStringLiteral("&Cancel"), panel3,
                         "Stop reading the file; the screen keeps what it showed");
  btnCancel->hide();
  auto* status = new QHBoxLayout(panel3);
  status->setContentsMargins(8, 0, 8, 0);
  status->setSpacing(16);
  status->addWidget(lbTitle);
  status->addWidget(lbSt1);
  status->addWidget(lbSt2, 1);
  status->addWidget(pbLoad);
  status->addWidget(btnCancel);
  load_timer_ = new QTimer(this);
  load_timer_->setInterval(50);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(panel2);
  row->addWidget(pnBase, 1);
  row->addWidget(panel1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addLayout(row, 1);
  outer->addWidget(panel3);

  setStyleSheet(QStringLiteral(
      // Child selectors: the graph window and the about box below this screen have panels of
      // the same names.
      "QWidget#Anl > QFrame#panel2, QFrame#panel2 > QFrame#panel4,"
      " QWidget#Anl > QFrame#pnBase { background-color: whitesmoke; }"
      "QWidget#Anl > QFrame#panel1, QWidget#Anl > QFrame#panel3 { background-color: gainsboro; }"
      "QLabel#lbDataType { background-color: lightsteelblue; }"
      "QLabel#lbDataCnt { background-color: lightblue; color: royalblue; }"
      "QLabel#lbDataNote, QLabel#lbTagNote { color: firebrick; }"
      "QListWidget#lstBox { background-color: floralwhite; }"
      "QPushButton#btnOpen, QPushButton#btnExport, QPushButton#btnGraph, QPushButton#btnAbout {"
      " background-color: steelblue; color: whitesmoke; border: 1px solid #2b5a80; }"
      "QPushButton#btnOpen:disabled, QPushButton#btnExport:disabled,"
      " QPushButton#btnGraph:disabled { background-color: #a7bccf; color: #e8eef3; }"
      "QPushButton#btnOpen:pressed, QPushButton#btnExport:pressed, QPushButton#btnGraph:pressed,"
      " QPushButton#btnAbout:pressed { padding-top: 2px; }"
      "QTableView#gView QHeaderView::section { background-color: lightgray;"
      " border: 0px; border-right: 1px solid #b8b8b8; border-bottom: 1px solid #b8b8b8;"
      " padding: 3px; }"
      "QTableView#gInfo { border: none; selection-background-color: white;"
      " selection-color: black; }"));

  connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpen_Click(); });
  connect(btnExport, &QPushButton::clicked, this, [this] { SaveExport(); });
  connect(btnGraph, &QPushButton::clicked, this, [this] { btnGraph_Click(); });
  connect(btnAbout, &QPushButton::clicked, this, [this] { btnAbout_Click(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { CancelLoad(); });
  connect(load_timer_, &QTimer::timeout, this, [this] { PutProgress(); });
  connect(lstBox, &QListWidget::currentRowChanged, this,
          [this](int row) { lstBox_SelectedIndexChanged(row); });

  PutFileName();
  SetEnable();
}

void Anl::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (reader_.FileName.empty()) ClearTable();
  SetEnable();
}

void Anl::Error(std::string_view text) {
  ShowError(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool Anl::RunFileDialog(QFileDialog* dialog) {
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  if (exec_file_dialog) return exec_file_dialog(dialog);
  return dialog->exec() == QDialog::Accepted;
}

void Anl::btnOpen_Click() {
  OpenData();
  SetEnable();
}

bool Anl::PressKey(ScreenKey key) {
  return PressButtonOf(key, {{ScreenKey::kOpen, btnOpen},
                             {ScreenKey::kExport, btnExport},
                             {ScreenKey::kGraph, btnGraph}});
}

void Anl::OpenData() {
  // One dialog for the run: a dialog's end writes Qt's own settings file with a disk sync, which
  // held the window up for a tenth of a second just as a big open started.
  if (!open_dialog_) open_dialog_ = new QFileDialog(this);
  QFileDialog& dialog = *open_dialog_;
  ClearChoice(&dialog);
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDirectory(open_folder_.Start(FromUtf8(DataPath) + QStringLiteral("DOWNLOAD/")));
  dialog.setDefaultSuffix(QStringLiteral("nid"));
  dialog.setNameFilters(WithAllFiles({QStringLiteral("Nembra instrument data(*.nid)")}));
  if (!RunFileDialog(&dialog) || dialog.selectedFiles().isEmpty()) return;
  open_folder_.Use(dialog.selectedFiles().first());
  OpenFile(dialog.selectedFiles().first());
}

void Anl::OpenFile(const QString& file) {
  const std::string path = ToUtf8(file);
  if (NeedsWorker(path)) {
    StartLoad(path, true, 0);
    return;
  }
  CancelLoad();
  reader_.Open(path);
  // Kept also for a file that was not recognised: the status line shows what was tried.
  reader_.FileName = path;
  PutOpenedFile();
}

void Anl::PutOpenedFile() {
  PutFileName();
  PutTag();
  ClearTable();
  if (reader_.tag_count > 0) {
    lstBox->setCurrentRow(0);
  } else {
    // Nothing of the file shown before may stay under the new name.
    ClearReadings();
  }
}

void Anl::ClearReadings() {
  view_model_->SetRows(0);
  lbDataType->setText(QStringLiteral("ER Data"));
  lbDataCnt->setText(QStringLiteral("Data Count : 0"));
  lbDataNote->hide();
  CrateStr.clear();
}

bool Anl::NeedsWorker(const std::string& path) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  // A missing file is reported at once; a pipe or device may keep a read waiting.
  if (ec || !fs::exists(st)) return false;
  if (!fs::is_regular_file(st)) return true;
  const auto size = fs::file_size(path, ec);
  return ec || static_cast<int64_t>(size) >= worker_from_bytes;
}

void Anl::StartLoad(const std::string& path, bool open, int32_t tag) {
  CancelLoad();
  auto job = std::make_shared<LoadJob>(vSetup);
  job->path = path;
  job->open = open;
  job->tag = tag;
  if (!open) job->reader.CopyStateFrom(reader_);
  job->started.start();
  job_ = job;
  QThread* worker = QThread::create([job] { job->Run(); });
  workers_.push_back(worker);
  connect(worker, &QThread::finished, this, [this, worker, job] {
    workers_.erase(std::remove(workers_.begin(), workers_.end(), worker), workers_.end());
    worker->deleteLater();
    FinishLoad(job);
  });
  worker->start();
  load_timer_->start();
  SetEnable();
}

void Anl::CancelLoad() {
  if (!job_) return;
  job_->progress.cancel = true;
  job_.reset();
  load_timer_->stop();
  pbLoad->hide();
  btnCancel->hide();
  // A tag read that never finished leaves the tag shown before selected in the list.
  if (reader_.tag_count > 0 && lstBox->currentRow() != reader_.cur_tag) {
    const QSignalBlocker block(lstBox);
    lstBox->setCurrentRow(reader_.cur_tag);
  }
  SetEnable();
}

void Anl::PutProgress() {
  if (!job_ || job_->started.elapsed() < kProgressAfterMs) return;
  const int64_t total = job_->progress.total.load();
  if (total > 0) {
    pbLoad->setRange(0, 1000);
    pbLoad->setValue(static_cast<int>(job_->progress.done.load() * 1000 / total));
  } else {
    pbLoad->setRange(0, 0);
  }
  pbLoad->show();
  btnCancel->show();
}

void Anl::FinishLoad(const std::shared_ptr<LoadJob>& job) {
  if (job != job_) return;  // cancelled, or another read took its place
  job_.reset();
  load_timer_->stop();
  pbLoad->hide();
  btnCancel->hide();
  if (job->reader.cancelled()) {
    SetEnable();
    return;
  }
  for (const std::string& text : job->open_messages) Error(text);
  if (job->open && job->reader.tag_count == 0) {
    // As a direct open: the index is replaced, the last tag's values and readings stay.
    reader_.file_type = job->reader.file_type;
    reader_.tag_count = 0;
    reader_.is_data = false;
    reader_.data_type_name.clear();
    reader_.FileName = job->path;
  } else {
    reader_.CopyStateFrom(job->reader);
    vGrpData = *job->grp;
  }
  for (const std::string& text : job->data_messages) Error(text);
  applying_ = true;
  if (job->open) {
    PutOpenedFile();
  } else {
    const QSignalBlocker block(lstBox);
    lstBox->setCurrentRow(reader_.cur_tag);
    PutData(reader_.cur_tag);
  }
  applying_ = false;
  SetEnable();
}

void Anl::PutFileName() {
  lbSt2->setText(reader_.FileName.empty() ? QStringLiteral("noname") : FromUtf8(reader_.FileName));
  emit FileNameChanged();
}

void Anl::PutTag() {
  // Emptying the list reports a change to no line, which loads nothing.
  lstBox->clear();
  QStringList names;
  names.reserve(reader_.tag_count);
  for (int32_t i = 0; i < reader_.tag_count; ++i) {
    names << Chars2SysStr(reader_.tag_name[i].c_str());
  }
  lstBox->addItems(names);
  lbTagCnt->setText(QStringLiteral("Tag Count : %1").arg(reader_.tag_count));
  lbTagNote->setVisible(reader_.tags_in_file > reader_.tag_count);
  lbTagNote->setText(QStringLiteral("Listing the first %1 of %2 tags.")
                         .arg(reader_.tag_count)
                         .arg(reader_.tags_in_file));
}

void Anl::ClearTable() {
  info_model_->SetRows({});
  view_model_->SetHeaders(QString::fromLatin1(kDateHeader), QString());
}

void Anl::lstBox_SelectedIndexChanged(int row) {
  if (row < 0 || row >= reader_.tag_count) return;
  if (applying_) {  // the worker has read this tag already
    PutData(row);
    return;
  }
  if (NeedsWorker(reader_.FileName)) {
    StartLoad(reader_.FileName, false, row);
    return;
  }
  CancelLoad();
  reader_.cur_tag = row;
  reader_.GetData(row);
  PutData(row);
}

void Anl::PutData(int32_t t) {
  info_model_->SetRows({});
  view_model_->SetRows(0);
  if (!reader_.is_data || reader_.file_type == -1) return;

  view_model_->SetHeaders(QString::fromLatin1(kDateHeader),
                          Chars2SysStr(reader_.data_type_name.c_str()));
  QVector<QPair<QString, QString>> rows;
  for (const InfoRow& r : InfoRows(reader_)) {
    rows.append({QString::fromLatin1(r.name), Chars2SysStr(r.value.c_str())});
  }
  info_model_->SetRows(std::move(rows));
  lbDataType->setText(QString::fromLatin1(DataTypeLabel(reader_.data_type[t])));
  PutTable();
  CrateStr = Chars2SysStr(tarn::CrateStr(reader_).c_str());
  lbDataCnt->setText(QStringLiteral("Data Count : %1").arg(reader_.record_count));
  lbDataNote->setVisible(reader_.readings_in_tag > reader_.record_count);
  lbDataNote->setText(QStringLiteral("Showing the first %1 of %2 readings.")
                          .arg(reader_.record_count)
                          .arg(reader_.readings_in_tag));
  SetEnable();
}

void Anl::PutTable() {
  view_model_->SetRows(reader_.record_count);
}

void Anl::SetEnable() {
  btnExport->setEnabled(!job_ && reader_.is_data && reader_.record_count >= 1);
  btnGraph->setEnabled(!job_ && reader_.is_data && reader_.record_count >= 2);
}

void Anl::SaveExport() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDirectory(export_folder_.Start(FromUtf8(DataPath) + QStringLiteral("ANALYSIS/")));
  const QStringList filters = {QStringLiteral("CSV files(*.csv)"),
                               QStringLiteral("Excel files(*.xls)"),
                               QStringLiteral("Excel workbook (*.xlsx)")};
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  FollowChosenType(&dialog);
  if (!RunFileDialog(&dialog)) return;
  QString path;
  const int type = ChosenFileType(&dialog, &path);
  if (type < 0) return;
  export_folder_.Use(path);
  switch (type) {
    case 1:
      SaveXls(path);
      break;
    case 2:
      SaveXlsx(path);
      break;
    default:
      SaveCsv(path);
      break;
  }
}

bool Anl::SaveCsv(const QString& path) {
  const Status saved = tarn::SaveCsv(reader_, ToUtf8(path));
  return ReportSave(saved.ok, saved.message, path);
}

bool Anl::SaveXls(const QString& path) {
  const Status saved = tarn::SaveXls(reader_, ToUtf8(path));
  return ReportSave(saved.ok, saved.message, path);
}

bool Anl::SaveXlsx(const QString& path) {
  const Status saved = tarn::SaveXlsx(reader_, ToUtf8(path));
  return ReportSave(saved.ok, saved.message, path);
}

bool Anl::ReportSave(bool ok, const std::string& error, const QString& path) {
  if (ok) return true;
  QString text = QStringLiteral("The file %1 could not be written.").arg(path);
  if (!error.empty()) text += QLatin1Char('\n') + FromUtf8(error);
  ShowError(this, text);
  return false;
}

void Anl::btnGraph_Click() {
  fmGrp->exec();
}

void Anl::btnAbout_Click() {
  fmAbout->exec();
}

}  // namespace tarn
