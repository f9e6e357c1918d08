// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/view_history.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/atomic_file.h"
#include "common/ui/message_box.h"
#include "common/ui/qt_text.h"
#include "common/ui/screen_keys.h"
#include "common/ui/widget_builders.h"
#include "graph/ui/plot_panel.h"
#include "graph/ui/qimage_surface.h"
#include "graph/ui/zoom_bar.h"
#include "settings/ui/settings_records.h"

// The zoom buttons' pictures are the graph window's, in the static UI library.
static void InitHistoryGraphResources() {
  Q_INIT_RESOURCE(view_grp);
}

namespace tarn {

namespace {

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
  QPushButton* b = MakeButton(name, QString::fromLatin1(text), parent);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

ViewHistory::ViewHistory(QWidget* parent)
    : QDialog(parent),
      view_(std::make_unique<HistoryView>(HistoryReader(), QImageSurface::Factory())) {
  InitHistoryGraphResources();
  InitializeComponent();
}

ViewHistory::~ViewHistory() = default;

void ViewHistory::InitializeComponent() {
  setObjectName(QStringLiteral("ViewHistory"));
  setWindowTitle(QStringLiteral("Probe History"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setFont(QFont(QStringLiteral("Verdana"), 9));
  setMinimumSize(1000, 600);
  resize(1008, 600);

  auto* right = new QFrame(this);
  right->setObjectName(QStringLiteral("panel1"));
  right->setFixedWidth(156);
  btnSave = Button("btnSave", "&Save", right);
  btnClose = Button("btnClose", "&Close", right);
  btnSave->setToolTip(KeyHint("Save the graph as a picture", ScreenKey::kSave));
  btnClose->setToolTip(QStringLiteral("Close the graph window (Esc)"));
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(0, 12, 0, 12);
  btnSave->setFixedSize(119, 55);
  btnClose->setFixedSize(119, 55);
  right_layout->addWidget(btnSave, 0, Qt::AlignHCenter);
  right_layout->addStretch(1);
  right_layout->addWidget(btnClose, 0, Qt::AlignHCenter);

  auto* middle = new QFrame(this);
  middle->setObjectName(QStringLiteral("panel2"));
  pnGrp = new PlotPanel(this, middle);
  auto* bar = new QFrame(middle);
  bar->setObjectName(QStringLiteral("panel3"));
  bar->setFixedHeight(52);
  auto* middle_layout = new QVBoxLayout(middle);
  middle_layout->setContentsMargins(10, 10, 10, 10);
  middle_layout->setSpacing(0);
  lbStale = MakeLabel("lbStale", QString(), middle);
  lbStale->setWordWrap(true);
  lbStale->setStyleSheet(QStringLiteral("color: firebrick; font-weight: bold;"));
  lbStale->hide();
  middle_layout->addWidget(lbStale);
  middle_layout->addWidget(pnGrp, 1);
  middle_layout->addWidget(bar);

  zoom_ = MakeZoomBar(bar);
  SetZoomHints(zoom_, "Show the whole history again after zooming");
  // Wider than the graph window's: the read-out names the probe and keeps the seconds.
  zoom_.lbValue->setMinimumWidth(231);

  auto* checks = new QVBoxLayout;
  checks->setSpacing(2);
  checks->addWidget(zoom_.chkData);
  checks->addWidget(zoom_.chkTrend);
  auto* bar_layout = new QHBoxLayout(bar);
  bar_layout->setContentsMargins(4, 4, 0, 4);
  bar_layout->setSpacing(10);
  bar_layout->addLayout(checks);
  bar_layout->addWidget(zoom_.chkYaxis);
  bar_layout->addWidget(zoom_.btnViewAll);
  bar_layout->addWidget(zoom_.btnAreaXY);
  bar_layout->addWidget(zoom_.btnAreaX);
  bar_layout->addWidget(zoom_.btnAreaY);
  bar_layout->addWidget(zoom_.lbValue, 1);

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(middle, 1);
  outer->addWidget(right);

  setStyleSheet(
      QStringLiteral("QDialog#ViewHistory > QFrame#panel1 { background-color: gainsboro; }"
                     "QDialog#ViewHistory > QFrame#panel2, QFrame#panel2 > QFrame#panel3 {"
                     " background-color: whitesmoke; }"
                     "QPushButton#btnSave, QPushButton#btnClose {"
                     " background-color: steelblue; color: whitesmoke; border: 1px solid #2b5a80; }"
                     "QPushButton#btnViewAll { background-color: seagreen; color: whitesmoke;"
                     " border: 1px solid #1d5c39; }"
                     "QLabel#lbValue { color: black; }"));

  connect(btnSave, &QPushButton::clicked, this, [this] { SaveGraph(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
  connect(zoom_.btnViewAll, &QPushButton::clicked, this, [this] { ViewAll(); });
  connect(zoom_.btnAreaXY, &QPushButton::clicked, this, [this] { SetDragOpt(3); });
  connect(zoom_.btnAreaX, &QPushButton::clicked, this, [this] { SetDragOpt(1); });
  connect(zoom_.btnAreaY, &QPushButton::clicked, this, [this] { SetDragOpt(2); });
  for (QCheckBox* c : {zoom_.chkData, zoom_.chkTrend, zoom_.chkYaxis})
    connect(c, &QCheckBox::toggled, this, [this] { chk_CheckedChanged(); });
}

void ViewHistory::Open(HistoryReader reader, const std::vector<ProbeSummary>& probes,
                       int window_days) {
  if (isVisible()) close();
  view_ = std::make_unique<HistoryView>(std::move(reader), QImageSurface::Factory());
  view_->read_failure = failure_;
  view_->rate_window = window_days;
  probes_ = probes;
  window_days_ = window_days;
  open();
}

void ViewHistory::PutRates(const std::vector<ProbeSummary>& probes, int window_days) {
  if (!isVisible()) return;
  bool changed = window_days != window_days_;
  for (ProbeSummary& shown : probes_) {
    for (const ProbeSummary& p : probes) {
      if (p.id != shown.id) continue;
      changed = changed || p.rate != shown.rate;
      shown = p;
    }
  }
  if (!changed) return;
  window_days_ = window_days;
  view_->rate_window = window_days;
  view_->SetRates(probes_);
  RedrawGraph();
}

void ViewHistory::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (vSetup.width > 0 && vSetup.height > 0) {
    move(vSetup.left, vSetup.top);
    resize(std::max(vSetup.width, minimumWidth()), std::max(vSetup.height, minimumHeight()));
  }
  if (layout() != nullptr) layout()->activate();
  view_->SetProbes(probes_, static_cast<uint32_t>(vSetup.data_color),
                   static_cast<uint32_t>(vSetup.trend_color));
  view_->data_line = vSetup.data_line;
  view_->trend_line = vSetup.trend_line;
  view_->view_data = zoom_.chkData->isChecked();
  view_->view_trend = zoom_.chkTrend->isChecked();
  view_->yaxis_auto = zoom_.chkYaxis->isChecked();
  view_->SetDecimalSeparator(ToUtf8(QLocale().decimalPoint()));
  view_->gInit(pnGrp->width(), pnGrp->height(), vSetup.y_low, vSetup.y_high);
  SetDragOpt(3);
  zoom_.lbValue->clear();
  RedrawGraph();
}

void ViewHistory::done(int result) {
  if (view_->HasBitmap()) view_->gClose();
  QDialog::done(result);
}

void ViewHistory::RedrawGraph() {
  view_->RedrawGraph();
  PutStale();
  pnGrp->update();
}

void ViewHistory::ViewAll() {
  view_->ViewAll();
  PutStale();
  pnGrp->update();
}

void ViewHistory::PutStale() {
  const std::string& why = view_->stale();
  if (why.empty()) {
    lbStale->hide();
    return;
  }
  QString text = FromUtf8(why);
  if (!text.startsWith(QStringLiteral("Cannot reach the history")))
    text = QStringLiteral("Cannot reach the history: ") + text;
  lbStale->setText(text +
                   QStringLiteral(" The graph shows what was read before and is not current."));
  lbStale->show();
}

void ViewHistory::SetDragOpt(int opt) {
  view_->SetDragOpt(opt);
  PutDragOpt(zoom_, opt);
}

void ViewHistory::SaveGraph() {
  auto* surface = dynamic_cast<QImageSurface*>(view_->surface());
  if (surface == nullptr) return;
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setDirectory(picture_folder_.Start(FromUtf8(DataPath) + QStringLiteral("ANALYSIS/")));
  dialog.setNameFilter(QStringLiteral("Bitmap(*.bmp)"));
  FollowChosenType(&dialog);
  const bool ok = exec_save_dialog ? exec_save_dialog(&dialog) : dialog.exec() == QDialog::Accepted;
  QString path;
  if (!ok || ChosenFileType(&dialog, &path) < 0) return;
  picture_folder_.Use(path);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const bool encoded = surface->image().save(&buffer, "BMP");
  if (!encoded || !WriteFileAtomically(ToUtf8(path), bytes.toStdString()))
    ShowError(this, QStringLiteral("The graph could not be saved to %1.").arg(path));
}

void ViewHistory::pnGrp_Paint() {
  QPainter painter(pnGrp);
  auto* surface = dynamic_cast<QImageSurface*>(view_->surface());
  if (surface == nullptr) {
    painter.fillRect(pnGrp->rect(), Qt::white);
    return;
  }
  painter.drawImage(QPoint(0, 0), surface->image());
}

void ViewHistory::pnGrp_Resize() {
  view_->ResizeGraph(pnGrp->width(), pnGrp->height());
  pnGrp->update();
}

void ViewHistory::pnGrp_MouseDown(int button, int x, int y) {
  view_->OnMouseDown(button, x, y);
}

void ViewHistory::pnGrp_MouseMove(int button, int x, int y) {
  const PointerResult r = view_->OnMouseMove(button, x, y);
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

void ViewHistory::pnGrp_MouseUp(int button, int x, int y) {
  if (view_->OnMouseUp(button, x, y)) pnGrp->update();
  PutStale();
}

void ViewHistory::pnGrp_MouseWheel(int delta, int x, int y) {
  view_->OnMouseWheel(delta, x, y);
  PutStale();
  pnGrp->update();
}

void ViewHistory::chk_CheckedChanged() {
  view_->view_data = zoom_.chkData->isChecked();
  view_->view_trend = zoom_.chkTrend->isChecked();
  view_->yaxis_auto = zoom_.chkYaxis->isChecked();
  RedrawGraph();
}

}  // namespace tarn
