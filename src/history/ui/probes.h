// The Probes tab: every probe of the history with its rate, consumed share, end date and status
// against its limits; import of instrument files, limits, removal, and the history graph of one
// probe or of several laid over each other.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ui/file_dialogs.h"
#include "graph/history_view.h"
#include "history/history_store.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace tarn {

class HistoryWatcher;
class ImportJob;
class LimitsDialog;
class ProbeTableModel;
class ViewHistory;

// The rate windows offered, in days; 0 is the whole history.
inline constexpr int kRateWindows[] = {7, 30, 90, 365, 0};
inline constexpr int kDefaultRateWindow = 30;

class Probes : public QWidget {
  Q_OBJECT

 public:
  explicit Probes(QWidget* parent = nullptr);
  ~Probes() override;

  // Where the history lives; opened when the tab is first shown (or first needed).
  void SetHistoryLocation(std::string location);
  // The tab's own section of the settings file: the rate window and the download check box,
  // each written once it differs from its default.
  void LoadSettings(const std::string& cfg_file);
  bool SaveSettings(const std::string& cfg_file) const;

  // Reads the probe list again with the chosen rate window.
  void PutProbes();
  int RateWindow() const;
  void SetRateWindow(int days);

  // Imports files off the window's thread, with progress, Cancel and a summary at the end.
  void StartImport(const QStringList& files);
  bool Importing() const;
  void CancelImport();
  // A file saved on the ER or LPR tab: imported at once when the check box is on; the status
  // line says how many readings were new.
  void ImportSaved(const QString& path);

  void OpenGraph();
  void OpenOverlay();
  void SetLimits();
  void RemoveProbes();
  // Asks for a file name and saves the PDF report of the selected probes, or of all when none
  // is selected, with the rate window of the list.
  void SaveReport();

  // The selected probes, in the table's order.
  std::vector<ProbeSummary> SelectedProbes() const;
  HistoryStore* store();
  ViewHistory* graphWindow() const { return fmHist; }
  LimitsDialog* limitsDialog() const { return fmLimits; }
  // Refreshes the table when the history changes under it.
  HistoryWatcher* historyWatcher() const { return watcher_; }

  // Replace the modal runs of the open dialog, the limits dialog and the summary box (tests).
  std::function<bool(QFileDialog*)> exec_open_dialog;
  std::function<bool(LimitsDialog*)> exec_limits_dialog;

  QTableView* gProbes;
  QLineEdit* edFilter;
  QComboBox* cbWindow;
  QCheckBox* chkAddDownloads;
  QPushButton* btnImport;
  QPushButton* btnGraph;
  QPushButton* btnOverlay;
  QPushButton* btnLimits;
  QPushButton* btnRemove;
  QPushButton* btnReport;
  QPushButton* btnCancel;
  QProgressBar* prgImport;
  QLabel* lbStatus;

 signals:
  // An import ended and its summary box was closed.
  void ImportFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void InitializeComponent();
  void SetEnable();
  void btnImport_Click();
  void gProbes_Activated(const QModelIndex& index);
  void ImportJob_Progress(int file, qint64 readings);
  void ImportJob_Finished();
  void PutStatus(const QString& text);
  HistoryReader Reader();

  std::string location_;
  std::unique_ptr<HistoryStore> store_;
  std::string open_error_;
  ProbeTableModel* model_;
  QSortFilterProxyModel* proxy_;
  ImportJob* job_ = nullptr;
  int job_files_ = 0;
  ViewHistory* fmHist;
  LimitsDialog* fmLimits;
  HistoryWatcher* watcher_;
  LastFolder import_folder_, report_folder_;  // where the next dialog of each kind starts
};

}  // namespace tarn
