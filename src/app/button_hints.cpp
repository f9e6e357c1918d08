// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/button_hints.h"

#include <QPushButton>
#include <QWidget>

namespace tarn {

namespace {

struct Hint {
  const char* screen;
  const char* button;
  const char* text;
};

constexpr Hint kHints[] = {
    {"Elpr", "btnOpenPort", "Start or stop listening to the instrument on the chosen port"},
    {"Elpr", "btnSetPort", "Choose the serial port and its line settings"},
    {"Elpr", "btnClear", "Empty the text pane of this tab"},
    {"Elpr", "btnSave", "Save the received text as a Nembra instrument data file (Ctrl+S)"},
    {"Elpr", "btnPrt", "Print the received text (Ctrl+P)"},
    {"Setup", "btnOk", "Keep these port settings"},
    {"Setup", "btnCancel", "Close without changing the port settings"},
    {"Setup", "btnDefault", "Put back the default line settings"},
    {"Coupon", "btnCalc", "Compute surface area, metal loss and corrosion rate"},
    {"Coupon", "btnOpen", "Open a coupon data file (Ctrl+O)"},
    {"Coupon", "btnAdd", "Add the calculated coupon to the table"},
    {"Coupon", "btnSaveAs", "Save the table as a coupon data file (Ctrl+S)"},
    {"Coupon", "btnClear", "Reset the coupon fields; the table stays"},
    {"Coupon", "btnUnit", "Choose metric or imperial units"},
    {"Coupon", "btnExport", "Export the table as CSV or spreadsheet file (Ctrl+E)"},
    {"Coupon", "btnDel", "Delete the selected row (Delete; Ctrl+Z brings it back)"},
    {"Unit", "btnOk", "Use these units"},
    {"Unit", "btnCancel", "Close without changing the units"},
    {"Anl", "btnOpen", "Open an instrument data file (Ctrl+O)"},
    {"Anl", "btnExport", "Export the shown tag as CSV or spreadsheet file (Ctrl+E)"},
    {"Anl", "btnGraph", "Show the shown tag's readings as a graph (Ctrl+G)"},
    {"Anl", "btnAbout", "About this program"},
    {"about", "btnOk", "Close this box"},
    {"ViewGrp", "btnSave", "Save the graph as a picture (Ctrl+S)"},
    {"ViewGrp", "btnPrint", "Print the graph (Ctrl+P)"},
    {"ViewGrp", "btnSetup", "Colours, line widths and the fixed Y range"},
    {"ViewGrp", "btnClose", "Close the graph window (Esc)"},
    {"ViewGrp", "btnViewAll", "Show the whole series again after zooming"},
    {"ViewGrp", "btnAreaXY",
     "Zoom in time and value (Alt+B): drag a box over the plot, or turn the mouse wheel."},
    {"ViewGrp", "btnAreaX",
     "Zoom in time only (Alt+X): drag across the plot, or turn the mouse wheel."},
    {"ViewGrp", "btnAreaY",
     "Zoom in value only (Alt+Y): drag up or down the plot, or turn the mouse wheel (with the "
     "automatic "
     "Y range off)."},
    {"Anl", "btnCancel", "Stop reading the file; the screen keeps what it showed"},
    {"Probes", "btnImport", "Add instrument files to the probe history"},
    {"Probes", "btnGraph", "Show the selected probe's whole history as a graph"},
    {"Probes", "btnOverlay", "Draw the selected probes in one graph to compare them"},
    {"Probes", "btnLimits", "Set the warning and alarm levels of rate and consumed share"},
    {"Probes", "btnRemove", "Remove the selected probes and their readings from the history"},
    {"Probes", "btnReport", "Write a PDF report of the selected probes, or of all"},
    {"Probes", "btnCancel", "Stop the import or report; the file being read adds nothing"},
    {"Probes", "btnConflicts",
     "List the selected probe's readings that files offered other values for"},
    {"Probes", "btnUnimport", "Take the readings of one imported file back out of the history"},
    {"ConflictsDialog", "btnKeep", "Keep the value first stored for the chosen reading"},
    {"ConflictsDialog", "btnTake", "Put the chosen offered value into the reading"},
    {"ConflictsDialog", "btnClose", "Close the list of conflicts (Esc)"},
    {"ViewHistory", "btnSave", "Save the graph as a picture (Ctrl+S)"},
    {"ViewHistory", "btnPrint", "Print the graph (Ctrl+P)"},
    {"ViewHistory", "btnSetup", "Colours, line widths and the fixed Y range"},
    {"ViewHistory", "btnClose", "Close the graph window (Esc)"},
    {"ViewHistory", "btnViewAll", "Show the whole history again after zooming"},
    {"ViewHistory", "btnAreaXY",
     "Zoom in time and value (Alt+B): drag a box over the plot, or turn the mouse wheel."},
    {"ViewHistory", "btnAreaX",
     "Zoom in time only (Alt+X): drag across the plot, or turn the mouse wheel."},
    {"ViewHistory", "btnAreaY",
     "Zoom in value only (Alt+Y): drag up or down the plot, or turn the mouse wheel (with the "
     "automatic "
     "Y range off)."},
    {"gSetup", "btnCd", "Choose the colour of the readings (Alt+D)"},
    {"gSetup", "btnCt", "Choose the colour of the trend line (Alt+T)"},
    {"gSetup", "btnOk", "Use these graph settings"},
    {"gSetup", "btnCancel", "Close without changing the graph settings"},
};

// The nearest screen or dialog holding w, by its class name without the namespace.
QString ScreenOf(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
    const QString name = QString::fromLatin1(p->metaObject()->className());
    if (name.startsWith(QLatin1String("tarn::"))) return name.mid(6);
  }
  return {};
}

}  // namespace

QString ButtonHint(const QString& screen, const QString& button) {
  for (const Hint& h : kHints)
    if (screen == QLatin1String(h.screen) && button == QLatin1String(h.button))
      return QString::fromLatin1(h.text);
  return {};
}

void SetButtonHints(QWidget* root) {
  for (QPushButton* b : root->findChildren<QPushButton*>()) {
    const QString hint = ButtonHint(ScreenOf(b), b->objectName());
    if (!hint.isEmpty()) b->setToolTip(hint);
  }
}

}  // namespace tarn
