// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab: every probe of the history with its rate, consumed share, end date and status
// against its limits; import of instrument files, limits, removal, and the history graph of one
// probe or of several laid over each other.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/ui/file_dialogs.h"
#include "history/history_graph.h"
#include "history/history_store.h"
#include "history/rate_window.h"
#include "history/ui/flags_dialog.h"
#include "history/ui/history_report.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QInputDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSplitter;
class QStackedWidget;
class QMenu;
class QPoint;
class QTableView;
class QTreeView;

namespace tarn {

class ChangesDialog;
class ConflictsDialog;
class HistoryWatcher;
class ImportJob;
class ReportJob;
class LimitsDialog;
class EventDialog;
class PlantTreeModel;
class PointTableModel;
class ProbeProxy;
class ProbeTableModel;
class ViewHistory;

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
  // The history in use as a window title names it: the file's name, or "database on server",
  // with "(read-only)" when nothing may be changed; empty before it is opened.
  QString HistoryTitle() const;
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
  // Asks whether to report the selected probes or every probe the table shows (all of them, or
  // those the filter leaves), then for a file name, and saves the PDF report with the rate
  // window of the list.
  void SaveReport();
  // Writes the report off the window's thread, with progress and Cancel (tests call it).
  void StartReport(const ReportRequest& request, const QString& path);
  bool Reporting() const { return report_ != nullptr; }
  void CancelReport();
  // The Conflicts view of the selected probe.
  void OpenConflicts();
  // Asks which import to undo, confirms with the count, and removes that file's readings.
  void UndoImport();

  // The selected probes, in the table's order.
  std::vector<ProbeSummary> SelectedProbes() const;
  HistoryStore* store();
  ViewHistory* graphWindow() const { return fmHist; }
  LimitsDialog* limitsDialog() const { return fmLimits; }
  ConflictsDialog* conflictsDialog() const { return fmConflicts; }
  ChangesDialog* changesDialog() const { return fmChanges; }
  // Refreshes the table when the history changes under it.
  HistoryWatcher* historyWatcher() const { return watcher_; }

  // Replace the modal runs of the open dialog, the limits dialog and the summary box (tests).
  std::function<bool(QFileDialog*)> exec_open_dialog;
  std::function<bool(LimitsDialog*)> exec_limits_dialog;
  std::function<bool(QInputDialog*)> exec_input_dialog;
  std::function<void(QMenu*)> exec_menu;

  // The plant tree's actions: probes moved onto the point at `path`, a site, unit or point
  // renamed (moved) with everything under it, a point's cumulative graph with its replacements.
  void AssignProbes(const std::vector<int64_t>& probe_ids, const std::string& path);
  void RenameNode(const std::string& path);
  void OpenPointGraph(int64_t point_id);
  // The tree's context menu for `node`.
  void PlantMenu(const QModelIndex& node, const QPoint& global);
  // Events: added on a node of the tree or at a time of the graph (the graph's point), edited,
  // removed, and chosen on the graph to show its rates before and after.
  void AddEventOn(const std::string& path, HistoryTime at);
  void EditGraphEvent(int64_t event_id);
  void RemoveGraphEvent(int64_t event_id);
  void ChooseGraphEvent(int64_t event_id);
  // An event that concerns `path` (the graph's point, a node of the tree) edited or removed.
  void EditEventOf(const std::string& path, int64_t event_id);
  void RemoveEventOf(const std::string& path, int64_t event_id);
  EventDialog* eventDialog() const { return fmEvent; }
  // The falls imports flagged for review, listed; a probe's graph opened from the list.
  void OpenFlags();
  void OpenProbeGraph(int64_t probe_id);
  FlagsDialog* flagsDialog() const { return fmFlags; }
  // Readings set aside: the stretch from..to of the probes the graph shows (of a point's probes
  // where each counts there) set aside with the reason asked for, or restored.
  void SetAsideInGraph(HistoryTime from, HistoryTime to);
  void RestoreInGraph(HistoryTime from, HistoryTime to);
  std::function<bool(EventDialog*)> exec_event_dialog;
  // The points view's selected points (ids).
  std::vector<int64_t> SelectedPoints() const;
  bool PointsShown() const;

  QTableView* gProbes;
  // The plant tree beside the table, the view it lists (probes or points) and the points view.
  QTreeView* tvPlant;
  QComboBox* cbView;
  QTableView* gPoints;
  QStackedWidget* stViews = nullptr;
  QSplitter* spPlant;
  // Over gProbes' left edge: the Tag and Serial columns, kept in view when the table scrolls
  // sideways.
  QTableView* gProbesFrozen;
  QLineEdit* edFilter;
  QComboBox* cbWindow;
  QCheckBox* chkAddDownloads;
  QPushButton* btnImport;
  QPushButton* btnGraph;
  QPushButton* btnOverlay;
  QPushButton* btnLimits;
  QPushButton* btnRemove;
  QPushButton* btnReport;
  QPushButton* btnConflicts;
  QPushButton* btnUnimport;
  QPushButton* btnChanges;
  QPushButton* btnFlags;
  QPushButton* btnCancel;
  QProgressBar* prgImport;
  QLabel* lbStatus;
  QLabel* lbHistory;  // which history is in use, and whether it is read-only

 signals:
  // An import ended and its summary box was closed.
  void ImportFinished();
  // The history was opened (or failed to open): HistoryTitle may have changed.
  void HistoryChanged();
  // A report ended (saved, failed or cancelled) and its message, if any, was closed.
  void ReportFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void InitializeComponent();
  void InitPlant();
  // True for a point at or under the chosen node.
  bool InNode(const std::string& path) const;
  // Lists what the chosen node holds.
  void PutNode();
  void PutPlant(std::vector<PointSummary> points);
  const PointSummary* PointWithId(int64_t id) const;
  // The point probe `probe_id` is at now, or null.
  const PointSummary* PointOfProbe(int64_t probe_id) const;
  // The graph now shows point `point_id` (0: none, e.g. an overlay): its events are marked.
  void GraphOpened(int64_t point_id);
  void PutGraphEvents();
  bool RunEventDialog(const HistoryEvent& event, HistoryEvent* entered);
  // The stretches set aside on the graph's probe or point `id`, and those from..to would set.
  std::vector<SetAsideStretch> GraphSetAside(int64_t id, bool point);
  std::vector<SetAsideStretch> GraphStretches(HistoryTime from, HistoryTime to) const;
  static QString ReadingCount(int64_t n);
  // Runs `act` on each stretch until one is refused (shown); the readings it changed in all.
  int64_t EachStretch(const std::vector<SetAsideStretch>& stretches,
                      const std::function<Status(const SetAsideStretch&, int64_t*)>& act);
  // The history when it may be changed; else null, having said why.
  HistoryStore* WritableStore();
  // The event `event_id` among those that concern `path`, as the store has it.
  std::optional<HistoryEvent> EventOn(HistoryStore& s, const std::string& path, int64_t event_id);
  void ReadingsChanged(const QString& status);
  std::vector<FlagRow> FlagRows();
  void PutFlagCount(std::size_t n);
  // The graph's marks of flagged falls on the probes (or point) it shows.
  std::vector<GraphMark> GraphFlagMarks();
  void SetPointLimits();
  void SetEnable();
  void btnImport_Click();
  void gProbes_Activated(const QModelIndex& index);
  void ImportJob_Progress(int file, qint64 readings, int percent);
  void ReportJob_Finished();
  // Keeps the rows shown, greyed, and says the history cannot be reached and why.
  void PutUnreachable(const std::string& reason);
  void ImportJob_Finished();
  void PutStatus(const QString& text);
  void PutCounts();
  // Widths that show every column in the tab's width: long tags and data types are cut short.
  void FitColumns();
  void InitFrozenColumns();
  void PlaceFrozenColumns();
  // Why Import, Limits and Remove are disabled; empty when the history may be changed.
  QString ReadOnlyReason();
  HistoryReader Reader();

  std::string location_;
  std::unique_ptr<HistoryStore> store_;
  std::string open_error_;
  bool announced_ = false;  // HistoryChanged was sent for this location
  ProbeTableModel* model_;
  ProbeProxy* proxy_;
  PointTableModel* points_model_;
  ProbeProxy* points_proxy_;
  PlantTreeModel* tree_;
  bool points_fitted_ = false;
  bool fitting_ = false;
  bool auto_fit_ = true;  // the probe columns follow the table's width (none resized by hand)  //
                          // the points view's columns were fitted to their texts
  static constexpr int kTreeWidth = 150;
  std::string node_path_;          // the tree's chosen node; empty: the whole plant
  std::set<int64_t> node_probes_;  // the probes its points have held
  ImportJob* job_ = nullptr;
  int job_files_ = 0;
  ViewHistory* fmHist;
  LimitsDialog* fmLimits;
  ConflictsDialog* fmConflicts;
  ChangesDialog* fmChanges;
  FlagsDialog* fmFlags;
  EventDialog* fmEvent;
  int64_t graph_point_ = 0;  // the point the graph shows, or whose probe it shows
  std::string graph_path_;
  ReportJob* report_ = nullptr;
  bool opened_ = false;  // the history was open once: a file gone since is not made anew
  QString listed_at_;    // when the rows shown were read
  HistoryWatcher* watcher_;
  LastFolder import_folder_, report_folder_;  // where the next dialog of each kind starts
};

}  // namespace tarn
