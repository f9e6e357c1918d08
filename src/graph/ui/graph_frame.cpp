// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/graph_frame.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/screen_keys.h"
#include "common/ui/widget_builders.h"
#include "graph/ui/g_setup.h"
#include "graph/ui/qimage_surface.h"
#include "settings/ui/settings_records.h"

// The picture buttons' images live in the static UI library and must be registered by hand.
static void InitGraphResources() {
  Q_INIT_RESOURCE(view_grp);
}

namespace tarn {

GraphFrame::GraphFrame(const Look& look, QWidget* parent) : QDialog(parent), look_(look) {
  InitGraphResources();
  PrtDocument_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  // The drawing is placed from the paper's corner at one-inch margins, as a print document's
  // default margin bounds are.
  PrtDocument_->setFullPage(true);
  PrtDocument_->setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
  InitializeComponent(look);
  fmSet = new gSetup(this);
}

GraphFrame::~GraphFrame() = default;

void GraphFrame::InitializeComponent(const Look& look) {
  setObjectName(QString::fromLatin1(look.name));
  setWindowTitle(QString::fromLatin1(look.caption));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("Verdana"), 9));
  setMinimumSize(1000, 600);
  resize(1008, 600);

  panel1 = MakePanel("panel1", this);
  panel1->setFixedWidth(156);
  btnSave = MakeButton("btnSave", "&Save", panel1,
                       KeyHint("Save the graph as a picture", ScreenKey::kSave));
  btnPrint =
      MakeButton("btnPrint", "&Print", panel1, KeyHint("Print the graph", ScreenKey::kPrint));
  btnSetup = MakeButton("btnSetup", "Se&tup", panel1, "Colours, line widths and the fixed Y range");
  btnClose = MakeButton("btnClose", "&Close", panel1, "Close the graph window (Esc)");
  auto* right = new QVBoxLayout(panel1);
  right->setContentsMargins(0, 12, 0, 12);
  right->setSpacing(10);
  for (QPushButton* b : {btnSave, btnPrint, btnSetup}) {
    b->setFixedSize(119, 55);
    right->addWidget(b, 0, Qt::AlignHCenter);
  }
  right->addStretch(1);
  btnClose->setFixedSize(119, 55);
  right->addWidget(btnClose, 0, Qt::AlignHCenter);

  panel2 = MakePanel("panel2", this);
  pnGrp = new PlotPanel(this, panel2);
  panel3 = MakePanel("panel3", panel2);
  panel3->setFixedHeight(52);
  auto* middle = new QVBoxLayout(panel2);
  middle->setContentsMargins(10, 10, 10, 10);
  middle->setSpacing(0);
  middle->addWidget(pnGrp, 1);
  middle->addWidget(panel3);

  zoom_ = MakeZoomBar(panel3);
  SetZoomHints(zoom_, look.view_all_hint);
  // Enter in the window never presses a button.
  for (QPushButton* b : {btnSave, btnPrint, btnSetup, btnClose}) b->setAutoDefault(false);

  auto* checks = new QVBoxLayout;
  checks->setSpacing(2);
  checks->addWidget(zoom_.chkData);
  checks->addWidget(zoom_.chkTrend);
  auto* bar = new QHBoxLayout(panel3);
  bar->setContentsMargins(4, 4, 0, 4);
  bar->setSpacing(10);
  bar->addLayout(checks);
  bar->addSpacing(10);
  bar->addWidget(zoom_.chkYaxis);
  bar->addSpacing(10);
  bar->addWidget(zoom_.btnViewAll);
  bar->addSpacing(10);
  bar->addWidget(zoom_.btnAreaXY);
  bar->addWidget(zoom_.btnAreaX);
  bar->addWidget(zoom_.btnAreaY);
  if (look.wide_readout) {
    // A read-out that names the probe and keeps the seconds needs more room.
    zoom_.lbValue->setMinimumWidth(231);
    bar->addWidget(zoom_.lbValue, 1);
  } else {
    zoom_.lbValue->setFixedSize(231, 24);
    bar->addStretch(1);
    bar->addWidget(zoom_.lbValue);
  }

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(panel2, 1);
  outer->addWidget(panel1);

  setStyleSheet(
      QStringLiteral(
          // Child selectors: the settings dialog below this window has a panel1 of its own.
          "QDialog#%1 > QFrame#panel1 { background-color: gainsboro; }"
          "QDialog#%1 > QFrame#panel2, QFrame#panel2 > QFrame#panel3 {"
          " background-color: whitesmoke; }"
          "QPushButton#btnSave, QPushButton#btnPrint, QPushButton#btnSetup, QPushButton#btnClose {"
          " background-color: steelblue; color: whitesmoke; border: 1px solid #2b5a80; }"
          "QPushButton#btnViewAll { background-color: seagreen; color: whitesmoke;"
          " border: 1px solid #1d5c39; }"
          "QPushButton#btnSave:pressed, QPushButton#btnPrint:pressed, QPushButton#btnSetup:pressed,"
          " QPushButton#btnClose:pressed, QPushButton#btnViewAll:pressed { padding-top: 2px; }"
          "QLabel#lbValue { color: black; }")
          .arg(objectName()));

  connect(btnSave, &QPushButton::clicked, this, [this] { SaveGraph(); });
  connect(btnPrint, &QPushButton::clicked, this, [this] { PrintGraph(); });
  connect(btnSetup, &QPushButton::clicked, this, [this] { SetGraph(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
  connect(zoom_.btnViewAll, &QPushButton::clicked, this, [this] { ViewAll(); });
  connect(zoom_.btnAreaXY, &QPushButton::clicked, this, [this] { SetDragOpt(3); });
  connect(zoom_.btnAreaX, &QPushButton::clicked, this, [this] { SetDragOpt(1); });
  connect(zoom_.btnAreaY, &QPushButton::clicked, this, [this] { SetDragOpt(2); });
  for (QCheckBox* c : {zoom_.chkData, zoom_.chkTrend, zoom_.chkYaxis}) {
    connect(c, &QCheckBox::toggled, this, [this] { chk_CheckedChanged(); });
  }
  // Esc closes the window as every dialog; Save and Print have the keys their hints name.
  for (const ScreenKey key : {ScreenKey::kSave, ScreenKey::kPrint}) {
    auto* shortcut = new QShortcut(KeysOf(key), this);
    connect(shortcut, &QShortcut::activated, this, [this, key] { PressKey(key); });
  }
}

bool GraphFrame::PressKey(ScreenKey key) {
  return PressButtonOf(key, {{ScreenKey::kSave, btnSave}, {ScreenKey::kPrint, btnPrint}});
}

void GraphFrame::AddAbovePlot(QWidget* widget) {
  widget->setParent(panel2);
  static_cast<QVBoxLayout*>(panel2->layout())->insertWidget(0, widget);
}

void GraphFrame::PutSwitches() {
  PlotView& view = plot();
  view.view_data = zoom_.chkData->isChecked();
  view.view_trend = zoom_.chkTrend->isChecked();
  view.yaxis_auto = zoom_.chkYaxis->isChecked();
}

void GraphFrame::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Cover the main window where it was last placed.
  if (vSetup.width > 0 && vSetup.height > 0) {
    // The same reading of the record as the main window's: frame position, client size.
    move(vSetup.left, vSetup.top);
    resize(std::max(vSetup.width, minimumWidth()), std::max(vSetup.height, minimumHeight()));
  }
  if (layout() != nullptr) layout()->activate();
  PutSwitches();
  plot().SetDecimalSeparator(ToUtf8(QLocale().decimalPoint()));
  StartView(pnGrp->width(), pnGrp->height());
  SetDragOpt(3);
  zoom_.lbValue->clear();
  RedrawGraph();
}

void GraphFrame::done(int result) {
  // Only a window that was set up has colours to hand back.
  if (plot().HasBitmap()) StopView();
  QDialog::done(result);
}

void GraphFrame::RedrawGraph() {
  plot().RedrawGraph();
  Blit();
}

void GraphFrame::ResizeGraph() {
  plot().ResizeGraph(pnGrp->width(), pnGrp->height());
  Blit();
}

void GraphFrame::ViewAll() {
  plot().ViewAll();
  Blit();
}

void GraphFrame::SetDragOpt(int opt) {
  plot().SetDragOpt(opt);
  PutDragOpt(zoom_, opt);
}

void GraphFrame::SetGraph() {
  fmSet->Init(DataColor(), TrendColor());
  if (fmSet->exec() != QDialog::Accepted) return;
  SetupConfirmed(fmSet->c_data, fmSet->c_trend);
  Blit();
}

void GraphFrame::SaveGraph() {
  if (plot().surface() == nullptr) return;
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setDirectory(picture_folder.Start(FromUtf8(DataPath) + QStringLiteral("ANALYSIS/")));
  QStringList filters;
  for (int i = 0; i < look_.type_count; ++i) filters << QLatin1String(look_.types[i].filter);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  FollowChosenType(&dialog);
  const bool ok = exec_save_dialog ? exec_save_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  if (!ok) return;
  // "graph.png" is a PNG whatever type was left chosen.
  QString path;
  const int index = ChosenFileType(&dialog, &path);
  if (index < 0) return;
  picture_folder.Use(path);
  std::string why;
  if (!SaveGraphPicture(plot(), look_.types[index].format, ToUtf8(path), &why)) {
    const QString text = QString::fromLatin1(look_.save_failed);
    ShowError(this,
              text.contains(QLatin1String("%2")) ? text.arg(path, FromUtf8(why)) : text.arg(path));
  }
}

void GraphFrame::PrintGraph() {
  if (plot().surface() == nullptr) return;
  QPrintDialog dialog(PrtDocument_.get(), this);
  dialog.setObjectName(QStringLiteral("PrtDialog"));
  const bool ok =
      exec_print_dialog ? exec_print_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  if (ok) PrintPage(PrtDocument_.get());
}

void GraphFrame::PrintPage(QPrinter* printer) {
  auto* surface = dynamic_cast<QImageSurface*>(plot().surface());
  if (surface == nullptr) return;
  const QImage& image = surface->image();
  if (image.isNull() || image.width() <= 0) return;
  QPainter painter;
  if (!painter.begin(printer)) return;
  // Page units of 1/100 inch, then the picture scaled to 700 units wide; the margin offset is
  // given in the scaled units, so it is scaled as well.
  const double unit = printer->resolution() / 100.0;
  const double scale = 700.0 / image.width();
  const QMarginsF margins = printer->pageLayout().margins(QPageLayout::Inch);
  painter.scale(unit * scale, unit * scale);
  painter.drawImage(QPointF(margins.left() * 100.0, margins.top() * 100.0), image);
  painter.end();
}

void GraphFrame::Blit() {
  Drawn();
  pnGrp->update();
}

void GraphFrame::pnGrp_Paint() {
  QPainter painter(pnGrp);
  auto* surface = dynamic_cast<QImageSurface*>(plot().surface());
  if (surface == nullptr) {
    painter.fillRect(pnGrp->rect(), Qt::white);
    return;
  }
  // The panel shows the top-left part of a bitmap that may be larger than the panel.
  painter.drawImage(QPoint(0, 0), surface->image());
}

void GraphFrame::pnGrp_Resize() {
  ResizeGraph();
}

void GraphFrame::pnGrp_MouseDown(int button, int x, int y) {
  plot().OnMouseDown(button, x, y);
}

void GraphFrame::pnGrp_MouseMove(int button, int x, int y) {
  const PointerResult r = plot().OnMouseMove(button, x, y);
  if (r.ignored) return;
  if (r.inside) {
    pnGrp->setCursor(Qt::CrossCursor);
    pnGrp->setFocus(Qt::MouseFocusReason);
  } else {
    pnGrp->unsetCursor();
  }
  zoom_.lbValue->setText(FromUtf8(r.readout));
  pnGrp->update();
}

void GraphFrame::pnGrp_MouseUp(int button, int x, int y) {
  if (plot().OnMouseUp(button, x, y)) Blit();
}

void GraphFrame::pnGrp_MouseWheel(int delta, int x, int y) {
  plot().OnMouseWheel(delta, x, y);
  Blit();
}

void GraphFrame::chk_CheckedChanged() {
  PutSwitches();
  RedrawGraph();
}

}  // namespace tarn
