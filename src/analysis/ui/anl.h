// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis screen of the Analysis tab: opens an instrument data file, lists its tags, shows
// the chosen tag's header values and readings, exports them and opens the graph window.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/nembra_reader.h"
#include "common/notifier.h"
#include "common/ui/file_dialogs.h"
#include "common/ui/made_on_first_use.h"
#include "common/ui/screen_keys.h"

class QFileDialog;
class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QTableView;

namespace tarn {

class InfoModel;
class ReadingModel;
class ViewGrp;
class about;
struct LoadJob;

class Anl : public QWidget, private Notifier {
  Q_OBJECT

 public:
  explicit Anl(QWidget* parent = nullptr);
  ~Anl() override;

  void OpenData();
  // Presses the button the key stands for (Open, Export, Graph), as a click would: nothing
  // happens while it is disabled. False when the screen has no button for the key.
  bool PressKey(ScreenKey key);
  // The Open button, which the main window gives its recent-file menu.
  QPushButton* openButton() const { return btnOpen; }
  // Opens path as the dialog's choice would be opened (command line, dropped files).
  void OpenFile(const QString& path);
  void PutFileName();
  void PutTag();
  void ClearTable();
  // Empties the reading grid and its labels, as before any file was opened.
  void ClearReadings();
  void PutData(int32_t t);
  void PutTable();
  void SetEnable();
  void SaveExport();
  // Both report a failure in an "Error" box and return false.
  bool SaveCsv(const QString& path);
  bool SaveXls(const QString& path);
  bool SaveXlsx(const QString& path);

  // The reader, whose state (FileName, tag index, header values) the screen shows.
  NembraReader& reader() { return reader_; }
  // Where the open dialog starts next: the folder of the last instrument file chosen or saved.
  LastFolder& openFolder() { return open_folder_; }
  const ReadingModel* gViewModel() const { return view_model_; }
  const InfoModel* gInfoModel() const { return info_model_; }

  // Corrosion-rate line of the shown tag, used only by the exports.
  QString CrateStr;
  // Both are made at their first use.
  MadeOnFirstUse<ViewGrp> fmGrp;
  MadeOnFirstUse<about> fmAbout;

  // Stops a running open or tag read (a tab change does this); the screen keeps what it showed.
  void CancelLoad();
  // True while an open or a tag read runs on the worker thread.
  bool isLoading() const { return job_ != nullptr; }
  // Files of this size and up (and anything that is not a regular file) are opened and read on
  // a worker thread so the window never waits for the disk; smaller ones are read at once.
  int64_t worker_from_bytes = int64_t{16} << 20;

  // Replaces the modal run of the open and save dialogs (tests): set the selection on the
  // dialog and return true for OK.
  std::function<bool(QFileDialog*)> exec_file_dialog;

 signals:
  void FileNameChanged();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void InitializeComponent();
  void Error(std::string_view text) override;
  bool RunFileDialog(QFileDialog* dialog);
  void lstBox_SelectedIndexChanged(int row);
  void btnOpen_Click();
  void btnGraph_Click();
  void btnAbout_Click();
  bool ReportSave(bool ok, const std::string& error, const QString& path);
  bool NeedsWorker(const std::string& path) const;
  // Opens path (open) or reads tag `tag` of the open file on the worker thread.
  void StartLoad(const std::string& path, bool open, int32_t tag);
  void FinishLoad(const std::shared_ptr<LoadJob>& job);
  void PutOpenedFile();
  void PutProgress();

  NembraReader reader_;
  LastFolder open_folder_, export_folder_;
  bool shown_ = false;
  std::shared_ptr<LoadJob> job_;
  std::vector<QThread*> workers_;
  bool applying_ = false;  // a finished read is being shown: selecting its tag reads nothing
  ReadingModel* view_model_ = nullptr;
  InfoModel* info_model_ = nullptr;
  QFileDialog* open_dialog_ = nullptr;  // OpenDialog, made at the first Open

  QFrame* panel2;
  QLabel* lbDataType;
  QFrame* panel4;
  QLabel* label1;
  QLabel* lbTagCnt;
  QLabel* lbTagNote;  // says when the file holds more tags than the list
  QListWidget* lstBox;
  QTableView* gInfo;
  QFrame* pnBase;
  QLabel* lbDataCnt;
  QLabel* lbDataNote;  // says when the tag holds more readings than the grid
  QTableView* gView;
  QFrame* panel1;
  QPushButton* btnOpen;
  QPushButton* btnExport;
  QPushButton* btnGraph;
  QPushButton* btnAbout;
  QFrame* panel3;
  QLabel* lbTitle;
  QLabel* lbSt1;
  QLabel* lbSt2;
  QProgressBar* pbLoad;
  QPushButton* btnCancel;
  QTimer* load_timer_;
};

}  // namespace tarn
