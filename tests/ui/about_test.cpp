// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: its texts and layout, the licence it names, the link that opens the home page,
// and reuse after OK.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "common/ui/about.h"

namespace tarn {
namespace {

// Stands in for the web browser: records the pages it is asked to open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

template <typename T>
T* Child(QWidget& w, const char* name) {
  T* child = w.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST(About, ShowsNameVersionAndNoticeUnclipped) {
  about box;
  EXPECT_EQ(box.objectName(), QStringLiteral("about"));
  EXPECT_EQ(box.windowTitle(), QStringLiteral("about"));
  EXPECT_EQ(box.size(), QSize(341, 287));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  const Qt::WindowFlags flags = box.windowFlags();
  EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(box.windowIcon().isNull());

  auto* panel = Child<QFrame>(box, "panel1");
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->geometry(), QRect(9, 13, 322, 204));
  EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0xFF, 0xFA, 0xF0));

  auto* logo = Child<QLabel>(box, "pictureBox1");
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->geometry(), QRect(85, 16, 152, 59));
  EXPECT_EQ(logo->pixmap().size(), QSize(152, 59)) << "logo resource not compiled in";

  const struct {
    const char* name;
    QPoint at;
  } labels[] = {{"label1", {13, 85}},
                {"label2", {13, 107}},
                {"label3", {13, 129}},
                {"label4", {13, 151}},
                {"linkLabel1", {13, 173}}};
  for (const auto& l : labels) {
    auto* label = Child<QLabel>(box, l.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), panel) << l.name;
    EXPECT_EQ(label->pos(), l.at) << l.name;
    // The stand-in for Verdana is wider: the text must still fit, inside the panel.
    EXPECT_GE(label->width(), label->sizeHint().width()) << l.name;
    EXPECT_LE(label->geometry().right(), panel->width()) << l.name;
  }
  EXPECT_EQ(Child<QLabel>(box, "label1")->text(), QStringLiteral("Corrosion Monitoring Program"));
  EXPECT_EQ(Child<QLabel>(box, "label2")->text(), QStringLiteral("Version 2.0"));
  EXPECT_DOUBLE_EQ(Child<QLabel>(box, "label1")->font().pointSizeF(), 9.75);
  EXPECT_FALSE(Child<QLabel>(box, "label3")->text().isEmpty());
  EXPECT_FALSE(Child<QLabel>(box, "label4")->text().isEmpty());

  auto* ok = Child<QPushButton>(box, "btnOk");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
  EXPECT_EQ(ok->geometry(), QRect(108, 238, 128, 37));
}

// The rights notice names the licence the sources are given under, the one in LICENSE.
TEST(About, NamesTheLicenceOfTheSources) {
  QFile licence(QStringLiteral(TARN_TEST_SOURCE_DIR "/LICENSE"));
  ASSERT_TRUE(licence.open(QIODevice::ReadOnly));
  const QString head = QString::fromLatin1(licence.read(200)).simplified();
  EXPECT_TRUE(head.startsWith(QStringLiteral("GNU GENERAL PUBLIC LICENSE Version 3,")))
      << head.toStdString();

  about box;
  auto* notice = Child<QLabel>(box, "label4");
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->text(), QStringLiteral("Licence: GNU GPL v3 or later"));
}

TEST(About, LinkOpensTheHomePageWithoutWaiting) {
  UrlCatcher browser;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
  about box;
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  auto* link = Child<QLabel>(box, "linkLabel1");
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(link->text().contains(QString::fromLatin1(about::kHomeText)));

  // A click on the link text, as a user does it.
  const QPoint on_text(QFontMetrics(link->font()).horizontalAdvance(QStringLiteral("www")) / 2 +
                           link->contentsRect().left(),
                       link->height() / 2);
  QTest::mouseClick(link, Qt::LeftButton, {}, on_text);
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(browser.opened.size(), 1);
  EXPECT_EQ(browser.opened.front(), QUrl(QString::fromLatin1(about::kHomePage)));
  EXPECT_TRUE(box.isVisible()) << "the link must not close the box";
}

TEST(About, OkClosesAndTheSameBoxOpensAgain) {
  QWidget owner;
  owner.setGeometry(200, 150, 900, 700);
  owner.show();
  about box(&owner);
  auto* ok = Child<QPushButton>(box, "btnOk");
  ASSERT_NE(ok, nullptr);
  for (int round = 0; round < 2; ++round) {
    QTimer::singleShot(20, ok, [&box, ok]() {
      // Centred on the window that opened it (Qt guesses the frame before it is known).
      const QPoint off =
          box.frameGeometry().center() - box.parentWidget()->frameGeometry().center();
      EXPECT_LE(off.manhattanLength(), 30) << off.x() << "," << off.y();
      ok->click();
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted) << "round " << round;
    EXPECT_FALSE(box.isVisible());
  }
}

}  // namespace
}  // namespace tarn

#include "about_test.moc"
