// SPDX-License-Identifier: GPL-3.0-or-later
// tarn: the corrosion monitoring program.
#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/main_form.h"
#include "history/history_location.h"

namespace {

// Qt aborts when it finds no display; say what to do instead.
bool HasDisplay(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0) return true;
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
  (void)argc;
  (void)argv;
  return true;
#endif
}

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Corrosion Monitoring Program: downloads, analyses and graphs corrosion probe readings and "
      "computes weight-loss coupons."));
  // Qt's own options (-platform, -style) are single-dash words.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      QStringLiteral("history"),
      QStringLiteral("The probe history to use: a file path or a postgresql:// address."),
      QStringLiteral("PATH")));
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("Instrument data files open in the Analysis tab, coupon data files in the "
                     "Coupon tab (recognised by their content)."),
      QStringLiteral("[FILE...]"));
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version need no display: answer them before Qt looks for one.
  {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    Describe(parser);
    parser.parse(args);  // unknown options are Qt's own (-platform ...), seen again below
    if (parser.isSet(QStringLiteral("help"))) {
      // Without an application object Qt names the program "<executable_name>".
      QString text = parser.helpText();
      text.replace(QStringLiteral("<executable_name>"), QStringLiteral("tarn"));
      std::fputs(text.toLocal8Bit().constData(), stdout);
      return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
      std::fputs("tarn " TARN_VERSION "\n", stdout);
      return 0;
    }
  }
  if (!HasDisplay(argc, argv)) {
    std::fputs("tarn: no display to show the window on; start one, e.g.: xvfb-run -a tarn\n",
               stderr);
    return 1;
  }
  // Taken out before Qt sees the arguments.
  std::string history;
  if (!tarn::TakeHistoryArgument(&argc, argv, &history)) {
    std::fputs("tarn: --history needs a path or a postgresql:// address\n", stderr);
    return 2;
  }
  try {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarn"));
    QApplication::setApplicationVersion(QStringLiteral(TARN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Tarn"));
    QApplication::setFont(QFont(QStringLiteral("Verdana"), 9));
    tarn::MainForm form(nullptr, tarn::MainForm::Dialogs::kOnFirstUse);
    form.SetHistoryLocation(history);
    form.show();
    // QApplication has taken its own options out of the arguments by now.
    QCommandLineParser parser;
    Describe(parser);
    parser.parse(QApplication::arguments());
    form.OpenFiles(parser.positionalArguments());
    app.exec();
  } catch (...) {
    // Whatever escapes the loop ends the program quietly.
  }
  return 0;
}
