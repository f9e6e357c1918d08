// SPDX-License-Identifier: GPL-3.0-or-later
// The download screen end to end: bytes written to a real pseudo-terminal reach the pane through
// the same serial port code that users run.
#include "download/ui/elpr.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "analysis/nembra_reader.h"
#include "common/ui/qt_text.h"
#include "download/port_name.h"
#include "download/ui/setup.h"
#include "graph/grp_values.h"
#include "serial_pty.h"
#include "settings/ui/settings_records.h"

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::OnGui;
using testing::PtyPair;
using testing::SeenBox;
using testing::TempHome;
using testing::WaitOnGui;

class ElprTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    vSetup = _basic_set_{};
    vSetup.port = PortNumberFromName(pty_.name());
    vSetup.baud = 5;
    vSetup.data = 1;
    DataPath = ToUtf8(home_.path()) + "/DATA/";
    QDir().mkpath(home_.path() + "/DATA/DOWNLOAD");
    elpr_ = std::make_unique<Elpr>();
    elpr_->SetCurScr(1);
    elpr_->show();
  }

  QPushButton* Btn(const char* name) { return elpr_->findChild<QPushButton*>(name); }
  QLabel* Label(const char* name) { return elpr_->findChild<QLabel*>(name); }
  QPlainTextEdit* Pane(const char* name) { return elpr_->findChild<QPlainTextEdit*>(name); }
  QString Text(const char* pane) {
    QString s = Pane(pane)->document()->toRawText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return s;
  }
  bool IsOpen() { return Label("lbSt1")->text() == "Port : ON"; }
  bool WaitText(const char* pane, const QString& expected, int timeout_ms = 10000) {
    return WaitOnGui(
        elpr_.get(), [&] { return Text(pane) == expected; }, timeout_ms);
  }

  void Download(const std::function<void()>& script) { testing::Download(elpr_.get(), script); }

  TempHome home_;
  PtyPair pty_;
  std::unique_ptr<Elpr> elpr_;
};

TEST_F(ElprTest, ShowsTextAsItArrivesWithPiecesAndLongLinesOnOnePaneLine) {
  const QString longLine(250, QLatin1Char('w'));
  Download([&] {
    EXPECT_EQ(Btn("btnOpenPort")->text(), "&Close Port");
    for (const char* b : {"btnSetPort", "btnClear", "btnSave", "btnPrt"}) {
      EXPECT_FALSE(Btn(b)->isEnabled()) << b;
    }
    pty_.Write("AB\r\nC\tD\n");
    EXPECT_TRUE(WaitText("erText", "AB\nC D\n"));
    pty_.Write("12 01/02");  // a line in two bursts: the piece shows at once
    EXPECT_TRUE(WaitText("erText", "AB\nC D\n12 01/02"));
    pty_.Write("/2020 10:20:30 1.25 X\r\n");
    EXPECT_TRUE(WaitText("erText", "AB\nC D\n12 01/02/2020 10:20:30 1.25 X\n"));
    pty_.Write(longLine.toStdString() + "\r\n");
    EXPECT_TRUE(WaitText("erText", "AB\nC D\n12 01/02/2020 10:20:30 1.25 X\n" + longLine + "\n"));
    EXPECT_EQ(Pane("erText")->document()->blockCount(), 5);
  });
  EXPECT_EQ(Btn("btnOpenPort")->text(), "&Open Port");
  EXPECT_EQ(Label("lbSt1")->text(), "Port : OFF");
  for (const char* b : {"btnSetPort", "btnClear", "btnSave", "btnPrt"}) {
    EXPECT_TRUE(Btn(b)->isEnabled()) << b;
  }

  // "Clear" empties the pane and leaves nothing to save.
  Btn("btnClear")->click();
  EXPECT_EQ(Text("erText"), "");
  EXPECT_FALSE(Btn("btnSave")->isEnabled());

  // A piece of a line with no line feed yet leaves the pane counted as saved.
  Download([&] {
    pty_.Write("PART");
    EXPECT_TRUE(WaitText("erText", "PART"));
  });
  EXPECT_FALSE(Btn("btnSave")->isEnabled());
}

TEST_F(ElprTest, TenThousandLinesInOneBurstAreAllShownInOrder) {
  std::string burst;
  QString expected;
  for (int i = 0; i < 10000; ++i) {
    const std::string line =
        QString::asprintf("%5d 01/02/2020 10:20:30 1.%04d OK", i, i).toStdString();
    burst += line + "\r\n";
    expected += QString::fromStdString(line) + "\n";
  }
  Download([&] {
    pty_.Write(burst);
    EXPECT_TRUE(WaitOnGui(
        elpr_.get(), [&] { return Pane("erText")->document()->blockCount() > 10000; }, 60000));
  });
  EXPECT_EQ(Text("erText"), expected);
}

TEST_F(ElprTest, AsksBeforeDiscardingUnsavedTextOfTheSameModeOnly) {
  Download([&] {
    pty_.Write("ONE\n");
    EXPECT_TRUE(WaitText("erText", "ONE\n"));
  });

  SeenBox no;
  AnswerNextMessageBox(&no, QMessageBox::No);
  Btn("btnOpenPort")->click();
  EXPECT_TRUE(no.seen);
  EXPECT_EQ(no.caption, "Confirm");
  EXPECT_EQ(no.text, "Current data is not saved. Continue?");
  EXPECT_EQ(no.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(Label("lbSt1")->text(), "Port : OFF");
  EXPECT_EQ(Text("erText"), "ONE\n");

  SeenBox yes;
  AnswerNextMessageBox(&yes, QMessageBox::Yes);
  Download([&] {
    EXPECT_EQ(Text("erText"), "");  // every download starts on an empty pane
    pty_.Write("TWO\n");
    EXPECT_TRUE(WaitText("erText", "TWO\n"));
  });
  EXPECT_TRUE(yes.seen);
  EXPECT_EQ(Text("erText"), "TWO\n");

  // Unsaved ER text does not matter for a download in LPR mode: no box, the port opens.
  elpr_->SetCurScr(2);
  Download([&] {
    pty_.Write("LPR\n");
    EXPECT_TRUE(WaitText("lprText", "LPR\n"));
  });
  EXPECT_EQ(Text("lprText"), "LPR\n");
  EXPECT_EQ(Text("erText"), "TWO\n");
}

TEST_F(ElprTest, SwitchingToLprClosesThePortAndEachPaneKeepsItsText) {
  elpr_->SetCurScr(2);
  Download([&] {
    pty_.Write("EARLIER LPR\n");
    EXPECT_TRUE(WaitText("lprText", "EARLIER LPR\n"));
  });
  elpr_->SetCurScr(1);
  EXPECT_EQ(Label("lbTitle")->text(), "ER");
  Download([&] {
    pty_.Write("ER LINE\n");
    EXPECT_TRUE(WaitText("erText", "ER LINE\n"));
    // What the main window does when the LPR tab is selected.
    OnGui(elpr_.get(), [&] {
      elpr_->ClosePort();
      elpr_->SetCurScr(2);
    });
    pty_.Write("AFTER\n");
  });
  EXPECT_EQ(Label("lbTitle")->text(), "LPR");
  EXPECT_EQ(Label("lbSt1")->text(), "Port : OFF");
  EXPECT_TRUE(Pane("lprText")->isVisible());
  EXPECT_FALSE(Pane("erText")->isVisible());
  EXPECT_EQ(Text("lprText"), "EARLIER LPR\n");
  EXPECT_EQ(Text("erText"), "ER LINE\n");
  // The LPR pane holds unsaved text of its own.
  EXPECT_TRUE(Btn("btnSave")->isEnabled());
}

TEST_F(ElprTest, InstrumentUnpluggedEndsReceptionKeepsTheTextAndSaysSo) {
  SeenBox box;
  AnswerNextMessageBox(&box, QMessageBox::Ok, 1000);
  Download([&] {
    pty_.Write("KEEP 1\nKEEP 2\n");
    EXPECT_TRUE(WaitText("erText", "KEEP 1\nKEEP 2\n"));
    pty_.CloseMaster();
    EXPECT_TRUE(WaitOnGui(elpr_.get(), [&] { return !IsOpen(); }));
  });
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.text, "Port Read Error! The port was closed.");
  EXPECT_EQ(Text("erText"), "KEEP 1\nKEEP 2\n");
  EXPECT_EQ(Btn("btnOpenPort")->text(), "&Open Port");
  EXPECT_EQ(Label("lbSt1")->text(), "Port : OFF");
  EXPECT_TRUE(Btn("btnSave")->isEnabled());
}

TEST_F(ElprTest, ScreenDestroyedWhileReceivingEndsTheLoopCleanly) {
  QPointer<Elpr> screen(elpr_.release());
  std::atomic<bool> done{false};
  std::thread t([&] {
    auto* status = screen->findChild<QLabel*>("lbSt1");
    EXPECT_TRUE(WaitOnGui(screen, [&] { return status->text() == "Port : ON"; }));
    pty_.Write("LAST\n");
    OnGui(screen, [&] { screen->deleteLater(); });
    done = true;
  });
  screen->findChild<QPushButton*>("btnOpenPort")->click();
  while (!done || screen) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  t.join();
  EXPECT_TRUE(screen.isNull());
}

TEST_F(ElprTest, OpenFailuresLeaveThePortClosed) {
  vSetup.port = 0;
  elpr_->SetCurScr(1);
  EXPECT_EQ(Label("lbSt2")->text(), "None, None, 8, 1, None");
  SeenBox none;
  AnswerNextMessageBox(&none, QMessageBox::Ok);
  Btn("btnOpenPort")->click();
  EXPECT_EQ(none.caption, "Error");
  EXPECT_EQ(none.text, "Usable ComPort not found!");

  vSetup.port = PortNumberFromName("pts/987654");  // no such terminal
  elpr_->SetCurScr(1);
  SeenBox missing;
  AnswerNextMessageBox(&missing, QMessageBox::Ok);
  Btn("btnOpenPort")->click();
  EXPECT_EQ(missing.caption, "Error");
  EXPECT_EQ(missing.text, "Port Open Error!");
  EXPECT_EQ(Label("lbSt1")->text(), "Port : OFF");
  EXPECT_EQ(Btn("btnOpenPort")->text(), "&Open Port");
}

TEST_F(ElprTest, StatusLineFollowsTheSettingsAndThePortSetupDialog) {
  const QString name = FromUtf8(PortNameFromNumber(vSetup.port));
  EXPECT_EQ(Label("lbSt2")->text(), name + ": 9600, None, 8, 1, None");
  vSetup.baud = 11;
  vSetup.parity = 2;
  vSetup.data = 0;
  vSetup.stop = 1;
  vSetup.flow = 1;
  elpr_->SetCurScr(2);
  EXPECT_EQ(Label("lbTitle")->text(), "LPR");
  EXPECT_EQ(Label("lbSt2")->text(), name + ": 115200, Even, 7, 2, RTS/CTS");
  // Indexes outside their lists fall back to the defaults.
  vSetup.baud = 12;
  vSetup.parity = -1;
  vSetup.data = 5;
  vSetup.stop = -1;
  vSetup.flow = 2;
  elpr_->SetCurScr(1);
  EXPECT_EQ(Label("lbSt2")->text(), name + ": 9600, None, 8, 1, None");

  // "Port Setup": choosing 115200 there shows on the status line after "OK".
  qputenv("TARN_EXTRA_PORTS", QByteArray::fromStdString(pty_.name()));
  testing::WithNextModal<tarn::Setup>([](tarn::Setup* dlg) {
    dlg->findChild<QComboBox*>("cbBaud")->setCurrentIndex(11);
    dlg->findChild<QPushButton*>("btnOk")->click();
  });
  Btn("btnSetPort")->click();
  qunsetenv("TARN_EXTRA_PORTS");
  EXPECT_EQ(vSetup.baud, 11);
  EXPECT_EQ(Label("lbSt2")->text(), name + ": 115200, None, 8, 1, None");
}

TEST_F(ElprTest, SavesThePaneAsANembraFileThatTheReaderOpens) {
  const char* kFile =
      "TAG NUMBER : ER-101\r\n"
      "SERIAL NUMBER : 20417\r\n"
      "PROBE TYPE : FLUSH\r\n"
      "THICKNESS : 10\r\n"
      "START TIME : 01/02/2020 10:00:00\r\n"
      "  NO   DATE       TIME      RS_RR    TEMP\r\n"
      "   1 01/02/2020 10:00:00 1.0000  24.1\r\n"
      "   2 01/02/2020 11:00:00 1.1111  24.3\r\n"
      "   3 01/02/2020 12:00:00 1.2500  24.2\r\n";
  QString expected = QString::fromLatin1(kFile);
  expected.remove(QLatin1Char('\r'));
  Download([&] {
    pty_.Write(kFile);
    EXPECT_TRUE(WaitText("erText", expected));
  });

  const QString path = home_.path() + "/DATA/DOWNLOAD/probe run.nid";
  QString startDir;
  testing::WithNextModal<QFileDialog>([&](QFileDialog* dlg) {
    startDir = dlg->directory().absolutePath();
    testing::TypeFileName(dlg,
                          home_.path() + "/DATA/DOWNLOAD/probe run");  // the extension is added
    static_cast<QDialog*>(dlg)->accept();
  });
  Btn("btnSave")->click();
  EXPECT_EQ(startDir, home_.path() + "/DATA/DOWNLOAD");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLatin1(f.readAll()), expected);

  _grp_values_ grp{};
  NembraReader reader(grp, vSetup, nullptr);
  reader.Open(ToUtf8(path));
  ASSERT_EQ(reader.tag_count, 1);
  EXPECT_EQ(reader.tag_name[0], "ER-101");
  reader.FileName = ToUtf8(path);
  reader.GetData(0);
  EXPECT_EQ(reader.record_count, 3);
  EXPECT_NEAR(grp.value[2], 2.0, 1e-9);  // flush probe, thickness 10, ratio 1.25

  // A cancelled dialog changes nothing; a new download asks no confirmation after the save.
  testing::WithNextModal<QFileDialog>([](QFileDialog* dlg) { dlg->reject(); });
  Btn("btnSave")->click();
  Download([&] { EXPECT_EQ(Text("erText"), ""); });
}

TEST_F(ElprTest, NulBytesAndLinesWithoutLineFeedsAreShownAndSavedWhole) {
  const std::string sent = std::string("NUL AB\0CD\n", 10) + "END\n" + std::string(10000, 'z');
  Download([&] {
    pty_.Write(sent);
    // The long line is shown over pane lines of 4096 characters.
    EXPECT_TRUE(WaitOnGui(
        elpr_.get(), [&] { return Text("erText").size() == qsizetype(sent.size()) + 2; }, 10000));
  });
  EXPECT_TRUE(Text("erText").startsWith(QString::fromUtf16(u"NUL AB\u2400CD\nEND\nzzz")));
  EXPECT_EQ(Pane("erText")->document()->blockCount(), 5);

  const QString path = home_.path() + "/DATA/DOWNLOAD/nul.nid";
  testing::WithNextModal<QFileDialog>([&](QFileDialog* dlg) {
    testing::TypeFileName(dlg, path);
    static_cast<QDialog*>(dlg)->accept();
  });
  Btn("btnSave")->click();
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().toStdString(), sent);
}

TEST_F(ElprTest, StatusLineCountsLinesWhileReceivingAndBytesWhenSaved) {
  const QString summary = Label("lbSt2")->text();
  const auto note = [&] { return Label("lbSt2")->text().mid(summary.size()); };
  Download([&] {
    EXPECT_TRUE(WaitOnGui(
        elpr_.get(), [&] { return note() == "   |   0 lines received"; }, 5000));
    pty_.Write("first\r\n");
    EXPECT_TRUE(WaitOnGui(
        elpr_.get(), [&] { return note() == "   |   1 line received"; }, 5000));
    pty_.Write("second\r\nthird\r\nfour");  // a line not yet ended is not counted
    EXPECT_TRUE(WaitOnGui(
        elpr_.get(), [&] { return note() == "   |   3 lines received"; }, 5000))
        << note().toStdString();
  });
  EXPECT_EQ(note(), "   |   3 lines received");

  testing::WithNextModal<QFileDialog>([&](QFileDialog* dlg) {
    testing::TypeFileName(dlg, home_.path() + "/DATA/DOWNLOAD/count.nid");
    static_cast<QDialog*>(dlg)->accept();
  });
  Btn("btnSave")->click();
  EXPECT_EQ(note(), "   |   23 bytes saved to count.nid");
  EXPECT_EQ(QFile(home_.path() + "/DATA/DOWNLOAD/count.nid").size(), 23);
  Btn("btnClear")->click();
  EXPECT_EQ(Label("lbSt2")->text(), summary);
}

// Pages in a PDF written by Qt: one "/Type /Page" object each.
int PdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  auto it = QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))
                .globalMatch(QString::fromLatin1(f.readAll()));
  int n = 0;
  for (; it.hasNext(); it.next()) ++n;
  return n;
}

TEST_F(ElprTest, PrintsSixtyLinesAPageOnNineInches) {
  auto print = [&](const char* pane, int lines, const QString& file) {
    QStringList l;
    for (int i = 1; i <= lines; ++i) l << QStringLiteral("%1 01/02/2020 10:20:30 1.2500").arg(i);
    Pane(pane)->setPlainText(l.join(QLatin1Char('\n')));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                      QMarginsF(1, 1, 1, 1), QPageLayout::Inch));
    EXPECT_TRUE(elpr_->PrintDocument(&printer));
    return PdfPages(file);
  };
  EXPECT_EQ(print("erText", 61, home_.path() + "/61.pdf"), 2);
  EXPECT_EQ(print("erText", 60, home_.path() + "/60.pdf"), 1);
  elpr_->SetCurScr(2);
  EXPECT_EQ(print("lprText", 121, home_.path() + "/lpr.pdf"), 3);
  EXPECT_EQ(Label("lbTitle")->text(), "LPR");
  EXPECT_TRUE(Pane("lprText")->isVisible());
}

}  // namespace
}  // namespace tarn
