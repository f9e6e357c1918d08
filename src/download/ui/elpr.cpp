// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/ui/elpr.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "common/code_page.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/screen_keys.h"
#include "common/ui/widget_builders.h"
#include "download/line_params.h"
#include "download/port_name.h"
#include "download/print_pages.h"
#include "download/ui/download_records.h"
#include "download/ui/setup.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

constexpr int kReceiveBufferSize = 65536;
// Below this many bytes of room the ring waits for the pane rather than taking a sliver.
constexpr qint64 kMinReceiveChunk = 4096;
constexpr int kWakeMs = 100;

QFont PaneFont() {
  QFont f(QStringLiteral("Courier New"), 10, QFont::Bold);
  f.setStyleHint(QFont::TypeWriter);
  return f;
}

QPlainTextEdit* MakePane(const char* name, QWidget* parent) {
  auto* p = new QPlainTextEdit(parent);
  p->setObjectName(QString::fromLatin1(name));
  p->setReadOnly(true);
  p->setLineWrapMode(QPlainTextEdit::NoWrap);
  p->setFont(PaneFont());
  p->setFocusPolicy(Qt::ClickFocus);
  p->setFrameShape(QFrame::Box);
  p->setStyleSheet(QStringLiteral("QPlainTextEdit { background: white; color: black; }"));
  // The text is kept whole for saving and printing; no undo history for received text.
  p->setUndoRedoEnabled(false);
  return p;
}

// A received NUL byte is shown as this visible sign; no Windows-1252 byte gives it otherwise.
constexpr char16_t kShownNul = u'\u2400';
// A line longer than this is shown over several pane lines: laying out one line costs time in
// its whole length, which a long stream without line feeds would pay at every piece.
constexpr int kShownLineMax = 4096;
// Marks a pane line that continues the one before it rather than following a line feed.
constexpr int kContinuesLine = 1;

// The pane's text exactly as received: lines separated by line feeds, lines that were only
// broken for showing joined again, the NUL sign back to the NUL byte, no-break spaces kept.
QString PaneText(const QPlainTextEdit* pane) {
  QString s;
  for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
    if (b != pane->document()->begin() && b.userState() != kContinuesLine) s += QLatin1Char('\n');
    s += b.text();
  }
  s.replace(QChar(kShownNul), QChar(0));
  return s;
}

// Appends received narrow text in one edit, so the pane lays out once for all of it.
void AppendToPane(QPlainTextEdit* pane, std::string_view narrow) {
  QString text = FromUtf8(NarrowToUtf8(narrow));
  text.replace(QChar(0), QChar(kShownNul));
  QTextCursor c(pane->document());
  c.movePosition(QTextCursor::End);
  c.beginEditBlock();
  qsizetype line = c.block().length() - 1;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == QLatin1Char('\n')) {
      line = 0;
      continue;
    }
    if (line == kShownLineMax) {
      c.insertText(text.mid(start, i - start));
      c.insertBlock();
      c.block().setUserState(kContinuesLine);
      start = i;
      line = 0;
    }
    ++line;
  }
  c.insertText(text.mid(start));
  c.endEditBlock();
  pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
}

// Painting the pane for every record costs far more than receiving it, so while a burst is being
// shown the pane is repainted about 25 times a second, and at once when the burst ends.
void PaceRepaint(QPlainTextEdit* pane, bool more_waiting, QElapsedTimer& clock) {
  constexpr qint64 kPaintMs = 40;
  if (!more_waiting) {
    pane->setUpdatesEnabled(true);
  } else if (pane->updatesEnabled()) {
    pane->setUpdatesEnabled(false);
    clock.restart();
  } else if (clock.elapsed() >= kPaintMs) {
    pane->setUpdatesEnabled(true);
  }
}

}  // namespace

Elpr::Elpr(QWidget* parent) : QWidget(parent), fmSet([this] { return new Setup(this); }) {
  setObjectName(QStringLiteral("Elpr"));
  resize(758, 407);

  cPort = new QSerialPort(this);
  cPort->setObjectName(QStringLiteral("cPort"));
  cPort->setReadBufferSize(kReceiveBufferSize);
  connect(cPort, &QSerialPort::errorOccurred, this, &Elpr::cPort_ErrorOccurred);
  wake_ = new QTimer(this);
  wake_->setInterval(kWakeMs);

  const QFont verdana(QStringLiteral("Verdana"), 9);
  QFont verdanaBold = verdana;
  verdanaBold.setBold(true);

  panel1 = MakePanel("panel1", this);
  panel1->setFixedWidth(156);
  panel1->setFrameShape(QFrame::Box);
  panel1->setFont(verdana);
  panel1->setStyleSheet(QStringLiteral("QFrame#panel1 { background: gainsboro; }"));
  btnOpenPort = MakeButton("btnOpenPort", "&Open Port", panel1,
                           "Start or stop listening to the instrument on the chosen port");
  btnSetPort = MakeButton("btnSetPort", "Port Se&tup", panel1,
                          "Choose the serial port and its line settings");
  btnClear = MakeButton("btnClear", "C&lear", panel1, "Empty the text pane of this tab");
  btnSave = MakeButton(
      "btnSave", "&Save", panel1,
      KeyHint("Save the received text as a Nembra instrument data file", ScreenKey::kSave));
  btnPrt =
      MakeButton("btnPrt", "&Print", panel1, KeyHint("Print the received text", ScreenKey::kPrint));
  int y = 34;
  for (QPushButton* b : {btnOpenPort, btnSetPort, btnClear, btnSave, btnPrt}) {
    b->setGeometry(18, y, 119, 55);
    b->setStyleSheet(QStringLiteral(
        "QPushButton { background: steelblue; color: whitesmoke; border: 1px solid #2b5d8a; }"
        "QPushButton:pressed { background: #3a6e9c; }"
        "QPushButton:disabled { background: #8eaccb; color: #d8dde3; }"));
    y += 61;
  }

  panel2 = MakePanel("panel2", this);
  panel2->setFrameShape(QFrame::Box);
  panel2->setStyleSheet(QStringLiteral("QFrame#panel2 { background: whitesmoke; }"));
  label1 = MakeLabel("label1", "DOWNLOAD", panel2);
  label1->setFont(verdanaBold);
  label1->setStyleSheet(QStringLiteral("color: black;"));
  label1->move(13, 7);
  label1->adjustSize();  // a free label is 30 high and centres its text, below the pane's top
  erText = MakePane("erText", panel2);
  lprText = MakePane("lprText", panel2);
  auto* paneArea = new QVBoxLayout(panel2);
  paneArea->setContentsMargins(8, 24, 8, 8);
  paneArea->addWidget(erText);
  paneArea->addWidget(lprText);

  panel3 = MakePanel("panel3", this);
  panel3->setFixedHeight(22);
  panel3->setFrameShape(QFrame::Box);
  panel3->setStyleSheet(QStringLiteral("QFrame#panel3 { background: whitesmoke; }"));
  lbTitle =
      MakeStatus("lbTitle", QStringLiteral("color: royalblue; background: whitesmoke;"), panel3);
  lbTitle->setFont(verdanaBold);
  lbTitle->setFixedWidth(104);
  lbTitle->setAlignment(Qt::AlignCenter);
  lbSt1 = MakeStatus("lbSt1", QStringLiteral("color: seagreen; background: gainsboro;"), panel3);
  lbSt1->setFont(verdana);
  lbSt1->setFixedWidth(104);
  lbSt1->setAlignment(Qt::AlignCenter);
  lbSt2 = MakeStatus(
      "lbSt2", QStringLiteral("color: midnightblue; background: whitesmoke; padding-left: 8px;"),
      panel3);
  lbSt2->setFont(verdana);
  lbSt2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  auto* status = new QHBoxLayout(panel3);
  status->setContentsMargins(1, 1, 1, 1);
  status->setSpacing(0);
  status->addWidget(lbTitle);
  status->addWidget(lbSt1);
  status->addWidget(lbSt2, 1);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(0);
  middle->addWidget(panel2, 1);
  middle->addWidget(panel1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addLayout(middle, 1);
  outer->addWidget(panel3);

  connect(btnOpenPort, &QPushButton::clicked, this, &Elpr::btnOpenPort_Click);
  connect(btnSetPort, &QPushButton::clicked, this, &Elpr::btnSetPort_Click);
  connect(btnClear, &QPushButton::clicked, this, &Elpr::btnClear_Click);
  connect(btnSave, &QPushButton::clicked, this, &Elpr::btnSave_Click);
  connect(btnPrt, &QPushButton::clicked, this, &Elpr::btnPrt_Click);

  TitleName = QStringLiteral("ER");
  lprText->hide();
  SetEnable();
}

Elpr::~Elpr() {
  // A reception loop still on the stack must not continue on this object.
  CmdOpen = false;
  if (cPort->isOpen()) cPort->close();
}

QPlainTextEdit* Elpr::Pane(int scr) const {
  return scr == 1 ? erText : lprText;
}

bool& Elpr::IsSaved(int scr) {
  return scr == 1 ? is_saved_er : is_saved_lpr;
}

void Elpr::SetSaved(int scr, bool saved) {
  if (IsSaved(scr) == saved) return;
  IsSaved(scr) = saved;
  emit SavedChanged();
}

void Elpr::SetCurScr(int scr) {
  TitleName = scr == 1 ? QStringLiteral("ER") : QStringLiteral("LPR");
  // The note spoke of the other pane's download.
  if (scr != CurScr) status_note_.clear();
  SetComPort();
  PutStatus();
  CurScr = scr;
  erText->setVisible(scr == 1);
  lprText->setVisible(scr != 1);
  SetEnable();
}

// The one place where the settings indexes become the serial port's parameters.
void Elpr::SetComPort() {
  if (cPort->isOpen()) return;
  if (vSetup.port != 0) cPort->setPortName(FromUtf8(PortNameFromNumber(vSetup.port)));
  cPort->setBaudRate(BaudFromIndex(vSetup.baud));
  switch (ParityFromIndex(vSetup.parity)) {
    case LineParity::kOdd:
      cPort->setParity(QSerialPort::OddParity);
      break;
    case LineParity::kEven:
      cPort->setParity(QSerialPort::EvenParity);
      break;
    case LineParity::kNone:
      cPort->setParity(QSerialPort::NoParity);
      break;
  }
  cPort->setDataBits(DataBitsFromIndex(vSetup.data) == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
  cPort->setStopBits(StopBitsFromIndex(vSetup.stop) == 2 ? QSerialPort::TwoStop
                                                         : QSerialPort::OneStop);
  cPort->setFlowControl(QSerialPort::NoFlowControl);
  rts_enable_ = RtsFromIndex(vSetup.flow);
}

void Elpr::PutStatus() {
  lbTitle->setText(TitleName);
  lbSt1->setText(cPort->isOpen() ? QStringLiteral("Port : ON") : QStringLiteral("Port : OFF"));
  // The port summary, then what the download has done so far.
  lbSt2->setText(status_note_.isEmpty() ? GetPortSt()
                                        : GetPortSt() + QStringLiteral("   |   ") + status_note_);
}

void Elpr::PutReceived() {
  status_note_ = lines_received_ == 1 ? QStringLiteral("1 line received")
                                      : QStringLiteral("%1 lines received").arg(lines_received_);
  PutStatus();
}

void Elpr::CountLines(const std::string& text) {
  lines_received_ += std::count(text.begin(), text.end(), '\n');
}

QString Elpr::GetPortSt() const {
  QString s;
  if (vSetup.port == 0) {
    s = QStringLiteral("None");
  } else {
    s = cPort->portName() + QStringLiteral(": ") + QString::number(cPort->baudRate());
  }
  switch (cPort->parity()) {
    case QSerialPort::OddParity:
      s += QStringLiteral(", Odd, ");
      break;
    case QSerialPort::EvenParity:
      s += QStringLiteral(", Even, ");
      break;
    case QSerialPort::MarkParity:
      s += QStringLiteral(", Mark, ");
      break;
    case QSerialPort::SpaceParity:
      s += QStringLiteral(", Space, ");
      break;
    default:
      s += QStringLiteral(", None, ");
      break;
  }
  s += QString::number(static_cast<int>(cPort->dataBits()));
  switch (cPort->stopBits()) {
    case QSerialPort::OneAndHalfStop:
      s += QStringLiteral(", 1.5");
      break;
    case QSerialPort::TwoStop:
      s += QStringLiteral(", 2");
      break;
    default:
      s += QStringLiteral(", 1");
      break;
  }
  s += rts_enable_ ? QStringLiteral(", RTS/CTS") : QStringLiteral(", None");
  return s;
}

void Elpr::SetEnable() {
  btnOpenPort->setText(CmdOpen ? QStringLiteral("&Close Port") : QStringLiteral("&Open Port"));
  btnSetPort->setEnabled(!CmdOpen);
  btnClear->setEnabled(!CmdOpen);
  const bool unsaved = !IsSaved(CurScr);
  btnSave->setEnabled(!CmdOpen && unsaved);
  btnPrt->setEnabled(!CmdOpen && unsaved);
}

void Elpr::OpenPort() {
  if (CmdOpen) {
    ClosePort();
    return;
  }
  if (!IsSaved(CurScr) &&
      !AskConfirm(this, QStringLiteral("Current data is not saved. Continue?"))) {
    return;
  }
  if (vSetup.port == 0) {
    ShowError(this, QStringLiteral("Usable ComPort not found!"));
    return;
  }
  if (cPort->portName().isEmpty() || !cPort->open(QIODevice::ReadOnly)) {
    ShowError(this, QStringLiteral("Port Open Error!"));
    return;
  }
  // Not every device has modem lines (a pseudo-terminal has none); that is no failure here.
  cPort->setRequestToSend(rts_enable_);
  cPort->clearError();
  read_failed_ = false;
  recv_scr_ = CurScr;
  CmdOpen = true;
  PutStatus();
  SetVarInit();
  Pane(CurScr)->moveCursor(QTextCursor::End);
  PutData();
}

bool Elpr::PressKey(ScreenKey key) {
  return PressButtonOf(
      key,
      {{ScreenKey::kSave, btnSave}, {ScreenKey::kSaveAs, btnSave}, {ScreenKey::kPrint, btnPrt}});
}

void Elpr::ClosePort() {
  if (cPort->isOpen()) {
    cPort->close();
    CmdOpen = false;
    SetEnable();
  }
  PutStatus();
}

void Elpr::SetVarInit() {
  ResetRing(vRbuff, ring_);
  lines_received_ = 0;
  status_note_.clear();
  PutStatus();
  Pane(CurScr)->clear();
  saved_file_[CurScr == 1 ? 0 : 1].clear();
  IsSaved(CurScr) = true;
  emit SavedChanged();
  if (cPort->isOpen()) cPort->clear(QSerialPort::Input);
  SetEnable();
}

void Elpr::PutData() {
  const QPointer<Elpr> alive(this);
  const int scr = recv_scr_;
  QPlainTextEdit* pane = Pane(scr);
  ring_.pRead = 0;
  QElapsedTimer paint_clock;
  paint_clock.start();
  wake_->start();
  PutReceived();
  while (CmdOpen) {
    ReceiveData();
    ring_.pRead %= kRingRecords;
    // Waits only when nothing is left to show: a burst is shown without pause, and a silent
    // instrument costs nothing. Serial data, clicks and the wake timer all end the wait.
    const auto flags = vRbuff[ring_.pRead].ready
                           ? QEventLoop::AllEvents
                           : QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents;
    QCoreApplication::processEvents(flags);
    if (!alive) return;  // the screen was destroyed while its events ran
    if (!CmdOpen) break;
    if (read_failed_) {
      // The device went away: keep what it sent, then end as closing the port does.
      while (cPort->bytesAvailable() > 0) {
        ReceiveData();
        ShowWaitingRecords(scr);
      }
      ClosePort();
      break;
    }
    // Everything waiting goes into the pane at once: one layout per pass, not per record.
    record_.clear();
    while (TakeRecord(vRbuff, ring_, record_)) {
    }
    if (record_.empty()) continue;
    AppendToPane(pane, record_);
    CountLines(record_);
    PaceRepaint(pane, cPort->bytesAvailable() > 0, paint_clock);
    // The count follows the pane's own pace, so a burst costs no extra layout work.
    if (pane->updatesEnabled()) PutReceived();
  }
  wake_->stop();
  pane->setUpdatesEnabled(true);
  // Lines already received when the port closed still belong to this download.
  ShowWaitingRecords(scr);
  if (read_failed_) {
    read_failed_ = false;
    ShowError(this, QStringLiteral("Port Read Error! The port was closed."));
  }
}

void Elpr::ShowWaitingRecords(int scr) {
  record_.clear();
  while (TakeRecord(vRbuff, ring_, record_)) {
  }
  if (!record_.empty()) AppendToPane(Pane(scr), record_);
  CountLines(record_);
  PutReceived();
}

void Elpr::ReceiveData() {
  qint64 n = cPort->bytesAvailable();
  if (n <= 0) return;
  // Unshown records are never overwritten: what does not fit waits in the port's buffer
  // (and, once that is full, in the driver) until the pane has caught up.
  const qint64 room = static_cast<qint64>(RingByteRoom(vRbuff, ring_));
  if (room < std::min(n, kMinReceiveChunk)) return;
  n = std::min(n, room);
  static thread_local std::vector<char> buf;
  buf.resize(static_cast<std::size_t>(n));
  const qint64 got = cPort->read(buf.data(), n);
  if (got <= 0) return;
  if (ReceiveBytes(vRbuff, ring_, reinterpret_cast<const unsigned char*>(buf.data()),
                   static_cast<std::size_t>(got))) {
    SetSaved(recv_scr_, false);
  }
}

void Elpr::cPort_ErrorOccurred(QSerialPort::SerialPortError error) {
  if (!CmdOpen) return;
  if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) read_failed_ = true;
}

void Elpr::SaveData() {
  QFileDialog dlg(this, QStringLiteral("Save As"),
                  save_folder_.Start(FromUtf8(DataPath) + QStringLiteral("DOWNLOAD")));
  dlg.setObjectName(QStringLiteral("saveFileDialog"));
  dlg.setNameFilters(WithAllFiles({QStringLiteral("Nembra instrument data(*.nid)")}));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  FollowChosenType(&dlg);
  if (dlg.exec() != QDialog::Accepted) return;
  QString path;
  if (ChosenFileType(&dlg, &path) < 0) return;
  save_folder_.Use(path);
  std::string narrow;
  MarshalString(PaneText(Pane(CurScr)), narrow);
  if (Status saved = WriteFileAtomically(ToUtf8(path), narrow); !saved) {
    ShowError(this, QStringLiteral("File Save Error!\n") + FromUtf8(saved.message));
    return;
  }
  saved_file_[CurScr == 1 ? 0 : 1] = path;
  IsSaved(CurScr) = true;
  emit SavedChanged();
  status_note_ = QStringLiteral("%1 bytes saved to %2")
                     .arg(static_cast<qulonglong>(narrow.size()))
                     .arg(QFileInfo(path).fileName());
  PutStatus();
  emit DataSaved(path);
}

void Elpr::PrintData() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dlg(&printer, this);
  if (dlg.exec() != QDialog::Accepted) return;
  if (!PrintDocument(&printer)) ShowError(this, QStringLiteral("Print Error!"));
}

bool Elpr::PrintDocument(QPrinter* printer) {
  prtlines = PaneText(Pane(CurScr)).split(QLatin1Char('\n'));
  linesPrinted = 0;
  QPainter p;
  if (!p.begin(printer)) {
    prtlines.clear();
    return false;
  }
  // The painter's origin is the top-left of the margin rectangle.
  const double dpi = printer->resolution();
  const int height = static_cast<int>(
      std::lround(printer->pageLayout().paintRect(QPageLayout::Inch).height() * 100));
  p.setFont(PaneFont());
  p.setPen(QColor(Qt::black));  // the panes' text colour
  const double ascent = p.fontMetrics().ascent();
  const std::vector<int> pages = LinesPerPage(static_cast<int>(prtlines.size()), height);
  for (std::size_t page = 0; page < pages.size(); ++page) {
    if (page > 0) printer->newPage();
    int y = 0;
    for (int i = 0; i < pages[page]; ++i) {
      p.drawText(QPointF(0, y * dpi / 100 + ascent), prtlines.at(linesPrinted));
      ++linesPrinted;
      y += kPrintLineStep;
    }
  }
  linesPrinted = 0;
  p.end();
  prtlines.clear();
  return true;
}

void Elpr::btnOpenPort_Click() {
  OpenPort();
}

void Elpr::btnSetPort_Click() {
  fmSet->exec();
  SetComPort();
  PutStatus();
}

void Elpr::btnClear_Click() {
  SetVarInit();
}

void Elpr::btnSave_Click() {
  SaveData();
}

void Elpr::btnPrt_Click() {
  PrintData();
}

}  // namespace tarn
