// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ui/about.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "common/ui/app_icon.h"
#include "common/ui/widget_builders.h"

namespace tarn {

namespace {

QLabel* TextLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
  QLabel* label = MakeLabel(name, text, parent);
  QFont font(QStringLiteral("Verdana"));
  font.setPointSizeF(9.75);
  label->setFont(font);
  label->move(at);
  label->adjustSize();
  return label;
}

}  // namespace

about::about(QWidget* parent) : QDialog(parent) {
  InitializeComponent();
}

void about::InitializeComponent() {
  setObjectName(QStringLiteral("about"));
  setWindowTitle(QStringLiteral("about"));
  setWindowIcon(AppIcon());
  setFont(QFont(QStringLiteral("Verdana"), 9));
  // A title bar without close, maximise or minimise buttons: "OK" is the way out.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(341, 287);

  panel1 = MakePanel("panel1", this);
  panel1->setGeometry(9, 13, 322, 204);
  QPalette pal = panel1->palette();
  pal.setColor(QPalette::Window, QColor(QStringLiteral("floralwhite")));
  panel1->setPalette(pal);
  panel1->setAutoFillBackground(true);

  pictureBox1 = new QLabel(panel1);
  pictureBox1->setObjectName(QStringLiteral("pictureBox1"));
  pictureBox1->setPixmap(OwnPicture(QStringLiteral(":/tarn/logo_about.png")));
  pictureBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pictureBox1->setGeometry(85, 16, 152, 59);

  label1 = TextLabel(panel1, "label1", QStringLiteral("Corrosion Monitoring Program"), {13, 85});
  label2 = TextLabel(panel1, "label2", QStringLiteral("Version " TARN_RELEASE), {13, 107});
  label3 =
      TextLabel(panel1, "label3", QStringLiteral("Copyright (C) 2026 The Tarn Project"), {13, 129});
  label4 = TextLabel(panel1, "label4", QString::fromLatin1(kLicence), {13, 151});

  linkLabel1 = new QLabel(panel1);
  linkLabel1->setObjectName(QStringLiteral("linkLabel1"));
  linkLabel1->setTextFormat(Qt::RichText);
  linkLabel1->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                          .arg(QString::fromLatin1(kHomePage), QString::fromLatin1(kHomeText)));
  linkLabel1->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  linkLabel1->setOpenExternalLinks(false);
  linkLabel1->setCursor(Qt::PointingHandCursor);
  linkLabel1->move(13, 173);
  linkLabel1->adjustSize();
  connect(linkLabel1, &QLabel::linkActivated, this, &about::linkLabel1_LinkClicked);

  btnOk = MakeButton("btnOk", QStringLiteral("&OK"), this, "Close this box");
  btnOk->setGeometry(108, 238, 128, 37);
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &about::btnOk_Click);
}

void about::btnOk_Click() {
  accept();
}

void about::linkLabel1_LinkClicked() {
  // The browser starts on its own; without one there is nothing more to do.
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

}  // namespace tarn
