// tarn: the corrosion monitoring program.
#include <QApplication>
#include <QFont>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/main_form.h"
#include "common/ui/app_icon.h"
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

}  // namespace

int main(int argc, char** argv) {
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
    QGuiApplication::setDesktopFileName(QStringLiteral("tarn"));
    QApplication::setFont(QFont(QStringLiteral("Verdana"), 9));
    QApplication::setWindowIcon(tarn::AppIcon());
    tarn::MainForm form;
    form.SetHistoryLocation(history);
    form.show();
    app.exec();
  } catch (...) {
    // Whatever escapes the loop ends the program quietly.
  }
  return 0;
}
