// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument download screen that serves both the ER and the LPR tab: receives the
// instrument's text over the serial port, shows it, saves it as a Nembra data file and prints it.
#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <string>

#include "common/ui/file_dialogs.h"
#include "common/ui/made_on_first_use.h"
#include "common/ui/screen_keys.h"
#include "download/receive_ring.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTimer;

namespace tarn {

class Setup;

class Elpr : public QWidget {
  Q_OBJECT

 public:
  explicit Elpr(QWidget* parent = nullptr);
  ~Elpr() override;

  // 1 shows the ER pane, 2 the LPR pane.
  void SetCurScr(int scr);
  // Closes the port if it is open and refreshes the status line; a running reception loop ends
  // at its next test.
  void ClosePort();
  // Presses the button the key stands for (Save, Print), as a click would: nothing happens while
  // it is disabled. False when the screen has no button for the key.
  bool PressKey(ScreenKey key);
  // Prints the current pane on a printer already chosen; false when printing could not start.
  bool PrintDocument(QPrinter* printer);
  // True while the pane of mode scr (1 ER, 2 LPR) holds received text not yet saved.
  bool hasUnsavedText(int scr) const { return !(scr == 1 ? is_saved_er : is_saved_lpr); }
  // The file the pane of mode scr was last saved to; empty once the pane is cleared.
  QString savedFile(int scr) const { return saved_file_[scr == 1 ? 0 : 1]; }
  // The port settings dialog, made at the first call.
  Setup* portDialog() { return fmSet.get(); }

 signals:
  // The pane was saved as an instrument data file at `path`.
  void DataSaved(const QString& path);
  // A pane's text became unsaved, was saved or was cleared.
  void SavedChanged();

 private:
  void SetComPort();
  void PutStatus();
  // Shows the number of lines received so far on the status line.
  void PutReceived();
  void CountLines(const std::string& text);
  QString GetPortSt() const;
  void SetEnable();
  void OpenPort();
  void SetVarInit();
  void PutData();
  void ReceiveData();
  void SaveData();
  void PrintData();

  void btnOpenPort_Click();
  void btnSetPort_Click();
  void btnClear_Click();
  void btnSave_Click();
  void btnPrt_Click();
  void cPort_ErrorOccurred(QSerialPort::SerialPortError error);

  QPlainTextEdit* Pane(int scr) const;
  bool& IsSaved(int scr);
  void SetSaved(int scr, bool saved);
  // Shows every record still waiting in the ring on the pane of mode `scr`.
  void ShowWaitingRecords(int scr);

  int32_t CurScr = 1;
  QString TitleName;
  bool CmdOpen = false;
  bool is_saved_er = true;
  bool is_saved_lpr = true;
  QString saved_file_[2];
  RingCursor ring_;  // pWrite, RecvPtr, pRead
  QStringList prtlines;
  int32_t linesPrinted = 0;

  int32_t recv_scr_ = 1;     // the mode whose pane the running reception fills
  bool rts_enable_ = false;  // applied at open: the driver takes no RTS setting while closed
  bool read_failed_ = false;
  std::string record_;          // reused for each shown record
  int64_t lines_received_ = 0;  // line feeds shown since the port was opened
  LastFolder save_folder_;
  QString status_note_;  // after the port summary: lines received, or bytes saved

  MadeOnFirstUse<Setup> fmSet;
  QSerialPort* cPort;
  QTimer* wake_;  // bounds the waits of the reception loop

  QFrame* panel1;
  QPushButton* btnOpenPort;
  QPushButton* btnSetPort;
  QPushButton* btnClear;
  QPushButton* btnSave;
  QPushButton* btnPrt;
  QFrame* panel2;
  QLabel* label1;
  QPlainTextEdit* erText;
  QPlainTextEdit* lprText;
  QFrame* panel3;
  QLabel* lbTitle;
  QLabel* lbSt1;
  QLabel* lbSt2;
};

}  // namespace tarn
