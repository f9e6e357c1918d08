// The analysis screen of the Analysis tab: opens an instrument data file, lists its tags, shows
// the chosen tag's header values and readings, exports them and opens the graph window.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>

#include "analysis/nembra_reader.h"
#include "analysis/reader_notifier.h"

class QFileDialog;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;

namespace tarn {

class InfoModel;
class ReadingModel;
class ViewGrp;
class about;

class Anl : public QWidget, private ReaderNotifier {
  Q_OBJECT

 public:
  explicit Anl(QWidget* parent = nullptr);
  ~Anl() override;

  void OpenData();
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
  const ReadingModel* gViewModel() const { return view_model_; }
  const InfoModel* gInfoModel() const { return info_model_; }

  // Corrosion-rate line of the shown tag, used only by the exports.
  QString CrateStr;
  ViewGrp* fmGrp = nullptr;
  about* fmAbout = nullptr;

  // Replaces the modal run of the open and save dialogs (tests): set the selection on the
  // dialog and return true for OK.
  std::function<bool(QFileDialog*)> exec_file_dialog;

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

  NembraReader reader_;
  bool shown_ = false;
  ReadingModel* view_model_ = nullptr;
  InfoModel* info_model_ = nullptr;

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
};

}  // namespace tarn
