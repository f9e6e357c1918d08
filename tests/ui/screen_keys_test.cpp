// SPDX-License-Identifier: GPL-3.0-or-later
// The screens' own hints and keys: every button of a screen or dialog built alone carries its
// hint, the key texts in the hints are the keys that press the buttons, and a key presses only
// an enabled button of its own screen.
#include "common/ui/screen_keys.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>
#include <functional>
#include <memory>

#include "analysis/ui/anl.h"
#include "common/ui/about.h"
#include "coupon/ui/coupon.h"
#include "coupon/ui/unit.h"
#include "download/ui/elpr.h"
#include "download/ui/setup.h"
#include "graph/ui/g_setup.h"
#include "graph/ui/view_grp.h"
#include "history/ui/conflicts_dialog.h"
#include "history/ui/probes.h"
#include "history/ui/view_history.h"

namespace tarn {
namespace {

TEST(ScreenKeys, HintsNameTheKeysThatPressTheButtons) {
  const struct {
    ScreenKey key;
    const char* hint;
  } cases[] = {
      {ScreenKey::kOpen, "Open a coupon data file (Ctrl+O)"},
      {ScreenKey::kSave, "Save the graph as a picture (Ctrl+S)"},
      {ScreenKey::kSaveAs, "Save the graph as a picture (Ctrl+Shift+S)"},
      {ScreenKey::kExport, "Export the table as CSV or spreadsheet file (Ctrl+E)"},
      {ScreenKey::kGraph, "Show the shown tag's readings as a graph (Ctrl+G)"},
      {ScreenKey::kPrint, "Print the graph (Ctrl+P)"},
  };
  for (const auto& c : cases) {
    const QString hint = QString::fromLatin1(c.hint);
    const QString text = hint.left(hint.lastIndexOf(QStringLiteral(" (")));
    EXPECT_EQ(KeyHint(text.toLatin1().constData(), c.key), hint);
    const QString keys = hint.mid(text.size() + 2).chopped(1);
    EXPECT_EQ(KeysOf(c.key), QKeySequence(keys)) << c.hint;
  }
  // The main window holds one shortcut per key for all screens: two keys on one sequence
  // would make it ambiguous, and an empty one would never fire.
  for (ScreenKey a : kScreenKeys) {
    EXPECT_FALSE(KeysOf(a).isEmpty()) << static_cast<int>(a);
    for (ScreenKey b : kScreenKeys)
      if (a != b) EXPECT_NE(KeysOf(a), KeysOf(b)) << static_cast<int>(a) << static_cast<int>(b);
  }
}

// Each screen and dialog, made alone without the main window, with its buttons' hints.
struct Screen {
  const char* name;
  std::function<std::unique_ptr<QWidget>()> make;
  std::vector<std::pair<const char*, const char*>> hints;
};

template <class W>
std::function<std::unique_ptr<QWidget>()> Maker() {
  return [] { return std::make_unique<W>(); };
}

std::vector<Screen> Screens() {
  const char* zoom_xy =
      "Zoom in time and value (Alt+B): drag a box over the plot, or turn the mouse wheel.";
  const char* zoom_x = "Zoom in time only (Alt+X): drag across the plot, or turn the mouse wheel.";
  const char* zoom_y =
      "Zoom in value only (Alt+Y): drag up or down the plot, or turn the mouse wheel (with the "
      "automatic Y range off).";
  return {
      {"Elpr",
       Maker<Elpr>(),
       {{"btnOpenPort", "Start or stop listening to the instrument on the chosen port"},
        {"btnSetPort", "Choose the serial port and its line settings"},
        {"btnClear", "Empty the text pane of this tab"},
        {"btnSave", "Save the received text as a Nembra instrument data file (Ctrl+S)"},
        {"btnPrt", "Print the received text (Ctrl+P)"}}},
      {"Setup",
       Maker<Setup>(),
       {{"btnOk", "Keep these port settings"},
        {"btnCancel", "Close without changing the port settings"},
        {"btnDefault", "Put back the default line settings"}}},
      {"Coupon",
       Maker<Coupon>(),
       {{"btnCalc", "Compute surface area, metal loss and corrosion rate"},
        {"btnOpen", "Open a coupon data file (Ctrl+O)"},
        {"btnAdd", "Add the calculated coupon to the table"},
        {"btnSaveAs", "Save the table as a coupon data file (Ctrl+S)"},
        {"btnClear", "Reset the coupon fields; the table stays"},
        {"btnUnit", "Choose metric or imperial units"},
        {"btnExport", "Export the table as CSV or spreadsheet file (Ctrl+E)"},
        {"btnDel", "Delete the selected row (Delete; Ctrl+Z brings it back)"},
        {"btnAddHistory", "Add the table's coupons to the probe history, each at its point"}}},
      {"Unit",
       Maker<Unit>(),
       {{"btnOk", "Use these units"}, {"btnCancel", "Close without changing the units"}}},
      {"Anl",
       Maker<Anl>(),
       {{"btnOpen", "Open an instrument data file (Ctrl+O)"},
        {"btnExport", "Export the shown tag as CSV or spreadsheet file (Ctrl+E)"},
        {"btnGraph", "Show the shown tag's readings as a graph (Ctrl+G)"},
        {"btnAbout", "About this program"},
        {"btnCancel", "Stop reading the file; the screen keeps what it showed"}}},
      {"about", Maker<about>(), {{"btnOk", "Close this box"}}},
      {"ViewGrp",
       Maker<ViewGrp>(),
       {{"btnSave", "Save the graph as a picture (Ctrl+S)"},
        {"btnPrint", "Print the graph (Ctrl+P)"},
        {"btnSetup", "Colours, line widths and the fixed Y range"},
        {"btnClose", "Close the graph window (Esc)"},
        {"btnViewAll", "Show the whole series again after zooming"},
        {"btnAreaXY", zoom_xy},
        {"btnAreaX", zoom_x},
        {"btnAreaY", zoom_y}}},
      {"gSetup",
       Maker<gSetup>(),
       {{"btnCd", "Choose the colour of the readings (Alt+D)"},
        {"btnCt", "Choose the colour of the trend line (Alt+T)"},
        {"btnOk", "Use these graph settings"},
        {"btnCancel", "Close without changing the graph settings"}}},
      {"Probes",
       Maker<Probes>(),
       {{"btnImport", "Add instrument files to the probe history"},
        {"btnGraph", "Show the selected probe's whole history as a graph"},
        {"btnOverlay", "Draw the selected probes in one graph to compare them"},
        {"btnLimits", "Set the warning and alarm levels of rate and consumed share"},
        {"btnRemove", "Remove the selected probes and their readings from the history"},
        {"btnReport", "Write a PDF report of the selected probes, or of all"},
        {"btnCancel", "Stop the import or report; the file being read adds nothing"},
        {"btnConflicts", "List the selected probe's readings that files offered other values for"},
        {"btnUnimport", "Take the readings of one imported file back out of the history"},
        {"btnChanges", "List every change made to the history, who made it and when"},
        {"btnFlags",
         "List the falls of metal loss too large to be corrosion that imports "
         "flagged for review"}}},
      {"ConflictsDialog",
       Maker<ConflictsDialog>(),
       {{"btnKeep", "Keep the value first stored for the chosen reading"},
        {"btnTake", "Put the chosen offered value into the reading"},
        {"btnClose", "Close the list of conflicts (Esc)"}}},
      {"ViewHistory",
       Maker<ViewHistory>(),
       {{"btnSave", "Save the graph as a picture (Ctrl+S)"},
        {"btnPrint", "Print the graph (Ctrl+P)"},
        {"btnSetup", "Colours, line widths and the fixed Y range"},
        {"btnClose", "Close the graph window (Esc)"},
        {"btnViewAll", "Show the whole history again after zooming"},
        {"btnAreaXY", zoom_xy},
        {"btnAreaX", zoom_x},
        {"btnAreaY", zoom_y}}},
  };
}

// The button named `name` directly of `screen`, not of a dialog the screen holds.
QPushButton* OwnButton(QWidget* screen, const char* name) {
  for (QPushButton* b : screen->findChildren<QPushButton*>(QString::fromLatin1(name))) {
    QWidget* w = b->parentWidget();
    while (w != screen && !w->isWindow()) w = w->parentWidget();
    if (w == screen) return b;
  }
  return nullptr;
}

TEST(ScreenKeys, EveryScreenMadeAloneGivesItsButtonsTheirHints) {
  for (const Screen& s : Screens()) {
    std::unique_ptr<QWidget> screen = s.make();
    for (const auto& [button, hint] : s.hints) {
      QPushButton* b = OwnButton(screen.get(), button);
      ASSERT_NE(b, nullptr) << s.name << '/' << button;
      EXPECT_EQ(b->toolTip(), QString::fromLatin1(hint)) << s.name << '/' << button;
    }
    // A button added later without a hint shows up here.
    int own = 0;
    for (QPushButton* b : screen->findChildren<QPushButton*>()) {
      // The button itself, not a namesake in a dialog the screen holds.
      if (!b->objectName().startsWith(QLatin1String("btn")) ||
          OwnButton(screen.get(), b->objectName().toLatin1().constData()) != b)
        continue;
      ++own;
      EXPECT_FALSE(b->toolTip().isEmpty()) << s.name << '/' << b->objectName().toStdString();
    }
    EXPECT_EQ(own, static_cast<int>(s.hints.size())) << s.name << ": buttons without a row here";
  }
}

// PressKey clicks the key's button of that screen only while it is enabled, and nothing for a
// key the screen has no button for.
TEST(ScreenKeys, AKeyPressesOnlyItsOwnEnabledButton) {
  Elpr elpr;
  Coupon coupon;
  Anl anl;
  ViewGrp graph;
  const std::vector<std::pair<QWidget*, std::function<bool(ScreenKey)>>> screens = {
      {&elpr, [&](ScreenKey k) { return elpr.PressKey(k); }},
      {&coupon, [&](ScreenKey k) { return coupon.PressKey(k); }},
      {&anl, [&](ScreenKey k) { return anl.PressKey(k); }},
      {&graph, [&](ScreenKey k) { return graph.PressKey(k); }},
  };
  const struct {
    int screen;
    ScreenKey key;
    const char* button;  // nullptr: the screen has none for the key
  } cases[] = {
      {0, ScreenKey::kOpen, nullptr},       {0, ScreenKey::kSave, "btnSave"},
      {0, ScreenKey::kSaveAs, "btnSave"},   {0, ScreenKey::kExport, nullptr},
      {0, ScreenKey::kGraph, nullptr},      {0, ScreenKey::kPrint, "btnPrt"},
      {1, ScreenKey::kOpen, "btnOpen"},     {1, ScreenKey::kSave, "btnSaveAs"},
      {1, ScreenKey::kSaveAs, "btnSaveAs"}, {1, ScreenKey::kExport, "btnExport"},
      {1, ScreenKey::kGraph, nullptr},      {1, ScreenKey::kPrint, nullptr},
      {2, ScreenKey::kOpen, "btnOpen"},     {2, ScreenKey::kSave, nullptr},
      {2, ScreenKey::kSaveAs, nullptr},     {2, ScreenKey::kExport, "btnExport"},
      {2, ScreenKey::kGraph, "btnGraph"},   {2, ScreenKey::kPrint, nullptr},
      {3, ScreenKey::kOpen, nullptr},       {3, ScreenKey::kSave, "btnSave"},
      {3, ScreenKey::kSaveAs, nullptr},     {3, ScreenKey::kExport, nullptr},
      {3, ScreenKey::kGraph, nullptr},      {3, ScreenKey::kPrint, "btnPrint"},
  };
  // Only whether the key presses is under test, not the buttons' own work (dialogs).
  QList<QPushButton*> buttons;
  for (const auto& s : screens) buttons << s.first->findChildren<QPushButton*>();
  for (QPushButton* b : buttons) QObject::disconnect(b, &QPushButton::clicked, nullptr, nullptr);
  for (const auto& c : cases) {
    for (bool enabled : {true, false}) {
      std::vector<std::unique_ptr<QSignalSpy>> spies;
      for (QPushButton* b : buttons) {
        b->setEnabled(enabled);
        spies.push_back(std::make_unique<QSignalSpy>(b, &QPushButton::clicked));
      }
      const auto& [screen, press] = screens[c.screen];
      EXPECT_EQ(press(c.key), c.button != nullptr) << c.screen << '/' << static_cast<int>(c.key);
      QPushButton* target = c.button ? OwnButton(screen, c.button) : nullptr;
      for (int i = 0; i < buttons.size(); ++i)
        EXPECT_EQ(spies[i]->count(), buttons[i] == target && enabled ? 1 : 0)
            << c.screen << '/' << static_cast<int>(c.key) << (enabled ? " enabled " : " disabled ")
            << buttons[i]->objectName().toStdString();
    }
  }
}

}  // namespace
}  // namespace tarn
