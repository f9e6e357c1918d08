// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/ui/unit.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/ui/widget_builders.h"
#include "settings/ui/settings_records.h"

namespace tarn {

Unit::Unit(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("Unit"));
  setWindowTitle(QStringLiteral("Unit"));
  setModal(true);
  setFont(QFont(QStringLiteral("Verdana"), 9));

  lbTitle = MakeLabel("lbTitle", QStringLiteral("Unit of Measure"), this);
  lbTitle->setFont(QFont(QStringLiteral("Verdana"), 12));
  lbTitle->setAutoFillBackground(true);
  lbTitle->setStyleSheet(
      QStringLiteral("QLabel { background-color: steelblue; color: white; padding: 8px; }"));

  groupBox1 = MakeGroup("groupBox1", QStringLiteral("Density"), &rbDe0, "rbDe0",
                        QStringLiteral("g/cm^3"), &rbDe1, "rbDe1", QStringLiteral("lb/in^3"));
  groupBox2 = MakeGroup("groupBox2", QStringLiteral("Dimensiom"), &rbDi0, "rbDi0",
                        QStringLiteral("cm"), &rbDi1, "rbDi1", QStringLiteral("inch"));
  groupBox3 = MakeGroup("groupBox3", QStringLiteral("Metal Loss"), &rbMe0, "rbMe0",
                        QStringLiteral("mm"), &rbMe1, "rbMe1", QStringLiteral("mil"));
  groupBox4 = MakeGroup("groupBox4", QStringLiteral("Weight"), &rbWe0, "rbWe0", QStringLiteral("g"),
                        &rbWe1, "rbWe1", QStringLiteral("oz"));
  groupBox5 = MakeGroup("groupBox5", QStringLiteral("Corrosion Rate"), &rbCo0, "rbCo0",
                        QStringLiteral("mmpy"), &rbCo1, "rbCo1", QStringLiteral("mpy"));

  // Left column: density, metal loss, corrosion rate; right: dimension, weight.
  auto* groups = new QGridLayout;
  groups->setHorizontalSpacing(12);
  groups->setVerticalSpacing(8);
  groups->addWidget(groupBox1, 0, 0);
  groups->addWidget(groupBox3, 1, 0);
  groups->addWidget(groupBox5, 2, 0);
  groups->addWidget(groupBox2, 0, 1);
  groups->addWidget(groupBox4, 1, 1);
  groups->setColumnStretch(0, 1);
  groups->setColumnStretch(1, 1);

  btnOk = MakeButton("btnOk", QStringLiteral("&OK"), this, "Use these units");
  btnOk->setDefault(true);
  btnCancel =
      MakeButton("btnCancel", QStringLiteral("&Cancel"), this, "Close without changing the units");
  connect(btnOk, &QPushButton::clicked, this, &Unit::btnOk_Click);
  connect(btnCancel, &QPushButton::clicked, this, &Unit::btnCancel_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(12, 10, 12, 12);
  body->setSpacing(10);
  body->addLayout(groups);
  body->addLayout(buttons);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(lbTitle);
  outer->addLayout(body);
  // A fixed size from the layout, so substitute fonts never clip a caption.
  outer->setSizeConstraint(QLayout::SetFixedSize);
}

QGroupBox* Unit::MakeGroup(const char* name, const QString& caption, QRadioButton** left,
                           const char* left_name, const QString& left_text, QRadioButton** right,
                           const char* right_name, const QString& right_text) {
  auto* box = new QGroupBox(caption, this);
  box->setObjectName(QString::fromLatin1(name));
  *left = new QRadioButton(left_text, box);
  (*left)->setObjectName(QString::fromLatin1(left_name));
  *right = new QRadioButton(right_text, box);
  (*right)->setObjectName(QString::fromLatin1(right_name));
  // Radio buttons sharing a parent exclude each other, one pair per group box.
  auto* row = new QHBoxLayout(box);
  row->addWidget(*left, 1);
  row->addWidget(*right, 1);
  return box;
}

void Unit::PutValues() {
  QRadioButton* pairs[kUnitCount][2] = {
      {rbDe0, rbDe1}, {rbDi0, rbDi1}, {rbMe0, rbMe1}, {rbWe0, rbWe1}, {rbCo0, rbCo1}};
  for (int k = 0; k < kUnitCount; ++k) pairs[k][vUnit[k].sel == 0 ? 0 : 1]->setChecked(true);
}

void Unit::GetValues() {
  const QRadioButton* left[kUnitCount] = {rbDe0, rbDi0, rbMe0, rbWe0, rbCo0};
  for (int k = 0; k < kUnitCount; ++k) vUnit[k].sel = left[k]->isChecked() ? 0 : 1;
}

void Unit::showEvent(QShowEvent* event) {
  PutValues();
  QDialog::showEvent(event);
}

void Unit::btnOk_Click() {
  GetValues();
  accept();
}

void Unit::btnCancel_Click() {
  reject();
}

}  // namespace tarn
