// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon screen of the Coupon tab: edits the current coupon, runs its calculation, keeps
// the table of calculated coupons, and opens, saves and exports it. Its members are defined in
// coupon_controls.cpp (building), coupon_fields.cpp (record <-> controls), coupon_table.cpp
// (the table) and coupon_commands.cpp (the commands).
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "common/date_time.h"
#include "common/notifier.h"
#include "common/ui/file_dialogs.h"
#include "common/ui/screen_keys.h"
#include "coupon/coupon_units.h"
#include "coupon/coupon_values.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTableView;
class QTimeEdit;

namespace tarn {

class CouponTableModel;
class Unit;

class Coupon : public QWidget {
  Q_OBJECT

 public:
  explicit Coupon(QWidget* parent = nullptr);
  ~Coupon() override;

  // Runs a file dialog that the screen has configured (folder, filters, mode). Returns false
  // when cancelled; otherwise sets the chosen path and the chosen name filter. The default
  // runs the dialog modally; tests replace it to choose a file without a dialog on screen.
  using FileDialogRunner = std::function<bool(QFileDialog& dialog, QString* path, QString* filter)>;
  void setFileDialogRunner(FileDialogRunner runner);

  // Shows the current coupon file name, or "noname", in the status line.
  void PutFileName();

  void SetItemsAll();
  void ChangeItemIndex(int item, int index);
  void SetCouponValues();
  void PutAlloyValues();
  void PutShapeValues();
  void PutExposure();
  void PutResult();
  void PutValues();
  // Reads the screen into vCpon; false, with a message and the focus on the box, when a box
  // holds text that is not a number.
  bool GetScrValues();
  bool Calc();
  void AddScr2Table();
  void PutTable();
  void DeleteData();
  void SetUnit();
  void PutUnit();
  void ClearValues();

  void OpenData();
  // Opens path as the dialog's choice would be opened (command line, dropped files).
  void OpenFile(const QString& path);
  void SaveData();
  void SaveExport();

  int recordCount() const;
  int selectedRow() const { return selected_row; }
  bool isCalc() const { return is_calc; }
  QString fileName() const { return FileName; }
  // True once coupons were added or deleted since the file was last opened or saved.
  bool isModified() const { return modified_; }
  // Asks Save / Discard / Cancel when coupons would be lost; true when the caller may go on.
  bool MaybeSave();
  // Puts the coupon removed last by DeleteData back at its row (once).
  void UndoDelete();
  // Presses the button the key stands for (Open, Save, Export), as a click would: nothing
  // happens while it is disabled. False when the screen has no button for the key.
  bool PressKey(ScreenKey key);
  // The Open button, which the main window gives its recent-file menu.
  QPushButton* openButton() const { return btnOpen; }
  // The main window turns this on: "Open" then asks before unsaved coupons are replaced.
  void setAskBeforeOpen(bool ask) { ask_before_open_ = ask; }

  // What adding coupons to the probe history did: how many went in and how many it held
  // already, or why nothing went in.
  struct HistoryAdd {
    bool ok = false;
    long long added = 0;
    long long held = 0;
    QString message;
  };
  // Stores coupons in the open history (shown in mils and mpy when `mils`); the main window
  // gives it, as the history belongs to the Probes tab. Without one "Add to history" is greyed.
  using HistoryAdder =
      std::function<HistoryAdd(const std::vector<_coupon_values_>& records, bool mils)>;
  void setHistoryAdder(HistoryAdder adder);
  // Adds the table's rows to the history and says how many were added and already held.
  void AddToHistory();

 signals:
  // The file name or the modified mark changed.
  void StateChanged();

 public:
  Unit* unitDialog() const { return fmUnit; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Refits the table's columns when the table is resized.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Notifier;

  void BuildControls();
  QWidget* BuildConfigurationPane();
  QWidget* BuildExposurePane();
  QWidget* BuildResultPane();
  QWidget* BuildTable();
  void FitColumns();
  void SetAlloyTable();
  void SetCouponTable();
  void SetShape();
  bool RunFileDialog(QFileDialog& dialog, LastFolder& folder, QString* path, QString* filter);
  bool CheckNumbers();
  void SetItemText(QLineEdit* edit, int item);
  void GetItemText(const QLineEdit* edit, int item);

  void btnCalc_Click();
  void btnOpen_Click();
  void btnAdd_Click();
  void btnSaveAs_Click();
  void btnClear_Click();
  void btnUnit_Click();
  void btnExport_Click();
  void btnDel_Click();
  void btnAddHistory_Click();
  void gCpon_CellClick(int row);
  void gCpon_HeaderClick();
  void edComment_TextChanged();
  void Input_Edited();
  void SetModified(bool modified);

  // Screen state.
  QString FileName;
  LastFolder file_folder_, export_folder_;  // coupon data files, exports
  bool modified_ = false;
  bool ask_before_open_ = false;
  int undo_row_ = -1;  // row of the coupon removed last, -1 when there is nothing to undo
  _coupon_values_ undo_record_{};
  bool is_calc = false;
  int selected_row = 0;
  DateTime inst_dt;
  DateTime rem_dt;
  CouponUnits units_;
  bool shown_once_ = false;
  FileDialogRunner file_dialog_runner_;
  HistoryAdder history_adder_;
  std::unique_ptr<tarn::Notifier> notifier_;  // a Coupon::Notifier

  Unit* fmUnit = nullptr;
  CouponTableModel* model_ = nullptr;

  // Right-hand column.
  QPushButton* btnCalc;
  QCheckBox* chkAutoAdd;
  QPushButton* btnOpen;
  QPushButton* btnAdd;
  QPushButton* btnSaveAs;
  QPushButton* btnClear;
  QPushButton* btnUnit;
  // Under the table.
  QPushButton* btnExport;
  QPushButton* btnDel;
  QPushButton* btnAddHistory;
  // Status strip.
  QLabel* lbTitle;
  QLabel* lbSt1;
  QLabel* lbSt2;
  // Coupon configuration.
  QLineEdit* edTag;
  QComboBox* cbCponTbl;
  QComboBox* cbAlloyTbl;
  QLineEdit* edAlloyDensity;
  QLabel* lbDensityUnit;
  QComboBox* cbShape;
  QLabel* lbHoles;
  QLineEdit* edHoles;
  QLabel* lbHoleDia;
  QLineEdit* edHoleDia;
  QLabel* lbHoleDiaUnit;
  QLabel* lbLength;
  QLineEdit* edLength;
  QLabel* lbLengthUnit;
  QLabel* lbWidth;
  QLineEdit* edWidth;
  QLabel* lbWidthUnit;
  QLabel* lbThick;
  QLineEdit* edThick;
  QLabel* lbThickUnit;
  // Exposure data.
  QDateEdit* dtInstDate;
  QTimeEdit* dtInstTime;
  QDateEdit* dtRemDate;
  QTimeEdit* dtRemTime;
  QLineEdit* edWeightInit;
  QLabel* lbWeightInitUnit;
  QLineEdit* edWeightFinal;
  QLabel* lbWeightFinalUnit;
  // Result.
  QLineEdit* edSurfaceArea;
  QLabel* lbSurfaceAreaUnit;
  QLineEdit* edTotalExposure;
  QLabel* lbTotalExposureUnit;
  QLineEdit* edMetalLoss;
  QLabel* lbMetalLossUnit;
  QLineEdit* edCorrosionRate;
  QLabel* lbCorrosionRateUnit;
  QLabel* lbRateClass;  // the severity class of the computed rate
  QPlainTextEdit* edComment;
  // Table.
  QTableView* gCpon;
};

}  // namespace tarn
