// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/g_setup.h"

#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "common/ui/locale_number.h"
#include "common/ui/message_box.h"
#include "common/ui/widget_builders.h"
#include "graph/ui/up_down_list.h"
#include "settings/ui/settings_records.h"

namespace tarn {

gSetup::gSetup(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("gSetup"));
  setWindowTitle(QStringLiteral("Graph Setup"));
  // A fixed frame with a caption but no close, minimise or maximise boxes.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(QFont(QStringLiteral("Verdana"), 9));
  setStyleSheet(
      QStringLiteral("QDialog#gSetup { background-color: whitesmoke; }"
                     "QDialog#gSetup > QFrame#panel1 { background-color: white; }"));

  panel1 = new QFrame(this);
  panel1->setObjectName(QStringLiteral("panel1"));

  label1 = MakeLabel("label1", "Data Graph", panel1);
  label2 = MakeLabel("label2", "Trend Graph", panel1);
  label3 = MakeLabel("label3", "Y-axis High", panel1);
  label4 = MakeLabel("label4", "Color", panel1);
  label5 = MakeLabel("label5", "Y-axis Low", panel1);
  label6 = MakeLabel("label6", "Line Width", panel1);

  btnCd = new QPushButton(panel1);
  btnCd->setObjectName(QStringLiteral("btnCd"));
  btnCt = new QPushButton(panel1);
  btnCt->setObjectName(QStringLiteral("btnCt"));
  // The colour buttons show no text, so their keys are set directly.
  btnCd->setShortcut(QKeySequence(QStringLiteral("Alt+D")));
  btnCt->setShortcut(QKeySequence(QStringLiteral("Alt+T")));
  btnCd->setToolTip(QStringLiteral("Choose the colour of the readings (Alt+D)"));
  btnCt->setToolTip(QStringLiteral("Choose the colour of the trend line (Alt+T)"));
  for (QPushButton* b : {btnCd, btnCt}) {
    b->setFlat(true);
    b->setFixedSize(90, 26);
  }

  const QStringList widths = {QStringLiteral("5"), QStringLiteral("4"), QStringLiteral("3"),
                              QStringLiteral("2"), QStringLiteral("1")};
  udData = new UpDownList(widths, panel1);
  udData->setObjectName(QStringLiteral("udData"));
  udTrend = new UpDownList(widths, panel1);
  udTrend->setObjectName(QStringLiteral("udTrend"));

  edHi = new QLineEdit(panel1);
  edHi->setObjectName(QStringLiteral("edHi"));
  edLo = new QLineEdit(panel1);
  edLo->setObjectName(QStringLiteral("edLo"));
  for (QLineEdit* e : {edHi, edLo}) e->setFixedWidth(90);

  auto* grid = new QGridLayout(panel1);
  grid->setContentsMargins(16, 12, 16, 12);
  grid->setHorizontalSpacing(24);
  grid->setVerticalSpacing(10);
  grid->addWidget(label4, 0, 1);
  grid->addWidget(label6, 0, 2);
  grid->addWidget(label1, 1, 0);
  grid->addWidget(btnCd, 1, 1);
  grid->addWidget(udData, 1, 2);
  grid->addWidget(label2, 2, 0);
  grid->addWidget(btnCt, 2, 1);
  grid->addWidget(udTrend, 2, 2);
  grid->addWidget(label3, 3, 0);
  grid->addWidget(edHi, 3, 1);
  grid->addWidget(label5, 4, 0);
  grid->addWidget(edLo, 4, 1);
  grid->setColumnStretch(3, 1);

  btnOk = new QPushButton(QStringLiteral("&OK"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnOk->setToolTip(QStringLiteral("Use these graph settings"));
  btnCancel->setToolTip(QStringLiteral("Close without changing the graph settings"));
  for (QPushButton* b : {btnOk, btnCancel}) {
    b->setFixedSize(90, 36);
    b->setAutoDefault(false);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addSpacing(20);
  buttons->addWidget(btnCancel);
  buttons->addStretch(1);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(12, 12, 12, 12);
  outer->addWidget(panel1, 1);
  outer->addLayout(buttons);

  ColorDialog = new QColorDialog(this);
  ColorDialog->setObjectName(QStringLiteral("ColorDialog"));
  // The widget dialog always shows the custom colours; the native one may not.
  ColorDialog->setOption(QColorDialog::DontUseNativeDialog, true);

  connect(btnCd, &QPushButton::clicked, this, [this] { GetDataColor(); });
  connect(btnCt, &QPushButton::clicked, this, [this] { GetTrendColor(); });
  connect(btnOk, &QPushButton::clicked, this, [this] { btnOk_Click(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(sizeHint().expandedTo(QSize(428, 283)));
}

void gSetup::Init(uint32_t cl_data, uint32_t cl_trend) {
  y_lo = vSetup.y_low;
  y_hi = vSetup.y_high;
  c_tempd = cl_data;
  c_tempt = cl_trend;
}

void gSetup::showEvent(QShowEvent* event) {
  PutData();
  QDialog::showEvent(event);
}

void gSetup::PutData() {
  ShowColor(btnCd, c_tempd);
  ShowColor(btnCt, c_tempt);
  edHi->setText(LocaleNumber(y_hi, 1));
  edLo->setText(LocaleNumber(y_lo, 1));
  udData->SetSelectedIndex(GetWidthIndex(vSetup.data_line));
  udTrend->SetSelectedIndex(GetWidthIndex(vSetup.trend_line));
}

int gSetup::GetWidthIndex(double v) const {
  const QStringList& items = udData->Items();
  for (int i = 0; i < items.size(); ++i) {
    if (items.at(i).toDouble() == v) return i;
  }
  return 0;
}

void gSetup::ShowColor(QPushButton* button, uint32_t argb) {
  const QColor c = QColor::fromRgba(argb);
  button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid "
                                       "gray; }")
                            .arg(c.name(QColor::HexArgb)));
}

bool gSetup::ChooseColor(uint32_t* argb) {
  ColorDialog->setCurrentColor(QColor::fromRgba(*argb));
  if (ColorDialog->exec() != QDialog::Accepted) return false;
  *argb = ColorDialog->currentColor().rgba();
  return true;
}

void gSetup::GetDataColor() {
  if (ChooseColor(&c_tempd)) ShowColor(btnCd, c_tempd);
}

void gSetup::GetTrendColor() {
  if (ChooseColor(&c_tempt)) ShowColor(btnCt, c_tempt);
}

bool gSetup::GetData() {
  // A text that is no number would silently become 0 and a range nobody asked for.
  for (auto [edit, label, value] : {std::tuple{edHi, label3, &y_hi}, {edLo, label5, &y_lo}}) {
    if (!LocaleToNumber(edit->text(), value)) {
      ShowError(this, QStringLiteral("%1: enter a number such as %2.")
                          .arg(label->text(), LocaleNumber(10.0, 1)));
      edit->setFocus(Qt::OtherFocusReason);
      edit->selectAll();
      return false;
    }
  }
  if (y_lo > y_hi) std::swap(y_lo, y_hi);
  if (y_hi - y_lo < 1.0) y_hi = y_lo + 1.0;
  vSetup.y_low = y_lo;
  vSetup.y_high = y_hi;
  c_data = c_tempd;
  c_trend = c_tempt;
  vSetup.data_line = udData->text().toFloat();
  vSetup.trend_line = udTrend->text().toFloat();
  return true;
}

void gSetup::btnOk_Click() {
  if (GetData()) accept();
}

}  // namespace tarn
