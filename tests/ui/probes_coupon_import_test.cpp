// SPDX-License-Identifier: GPL-3.0-or-later
// The Probes tab's import takes coupon data files beside instrument files: their coupons go to
// the history once each, the summary counts them, and a damaged one is named and stores nothing.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <string>

#include "common/ui/qt_text.h"
#include "coupon/coupon_store.h"
#include "history/history_coupons.h"
#include "history/history_store.h"
#include "history/ui/probes.h"
#include "settings/ui/settings_records.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenBox;

struct Quiet : Notifier {
  void Error(std::string_view) override {}
};

class ProbesCouponImport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    tab_.SetHistoryLocation(ToUtf8(dir_.filePath("history.sqlite")));
    tab_.resize(1000, 600);
    tab_.show();
  }
  // A coupon data file of `tags`, each exposed through February 2025.
  QString CouponFile(const QString& name, const std::vector<std::string>& tags) {
    auto file = std::make_unique<CouponStore>();
    file->record_count = static_cast<int32_t>(tags.size());
    for (std::size_t i = 0; i < tags.size(); ++i) {
      _coupon_values_& c = file->items[i];
      c = {};
      PutField(c.tag, tags[i]);
      PutField(c.install_time, "01/02/2025 00:00:00");
      PutField(c.removal_time, "01/03/2025 00:00:00");
      c.exposure = 672.0;
      c.corr_rate = 0.05;
    }
    const QString path = dir_.filePath(name);
    Quiet quiet;
    EXPECT_TRUE(Save(ToUtf8(path), *file, quiet));
    return path;
  }
  // Drops the files on the tab and answers the summary box; returns its text.
  QString Drop(const QStringList& files) {
    QSignalSpy done(&tab_, &Probes::ImportFinished);
    SeenBox box;
    AnswerNextMessageBox(&box, QMessageBox::Ok, 2000);
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&tab_, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&tab_, &drop);
    EXPECT_TRUE(done.wait(30000)) << tab_.lbStatus->text().toStdString();
    EXPECT_TRUE(box.seen);
    return box.text;
  }
  QTemporaryDir dir_;
  Probes tab_;
};

TEST_F(ProbesCouponImport, CouponFilesGoInOnceEachAndADamagedOneIsNamed) {
  vUnit[4].sel = 1;
  const QString a = CouponFile(QStringLiteral("a.CPN"), {"C-1", "C-2"});
  const QString b = CouponFile(QStringLiteral("b.cpn"), {"C-2", "C-3"});
  const QString text = Drop({a, b});
  vUnit[4].sel = 0;
  EXPECT_TRUE(text.startsWith("Files imported: 2\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nCoupons added: 3\nCoupons already held: 1")) << text.toStdString();
  const std::vector<CouponFigures> stored = tab_.store()->ListCoupons({});
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_TRUE(stored[0].coupon.mils);  // the Coupon tab's unit when the import began

  // A file cut short is named, and its coupons stay out.
  QFile cut(CouponFile(QStringLiteral("cut.CPN"), {"C-4"}));
  ASSERT_TRUE(cut.resize(cut.size() - 8));
  const QString refused = Drop({cut.fileName()});
  EXPECT_TRUE(refused.contains("\nNot imported: cut.CPN: Invalid Coupon Data."))
      << refused.toStdString();
  EXPECT_EQ(tab_.store()->ListCoupons({}).size(), 3u);

  // The Import button's dialog offers them beside the instrument files.
  bool asked = false;
  tab_.exec_open_dialog = [&](QFileDialog* d) {
    asked = true;
    EXPECT_TRUE(d->nameFilters().front().contains("*.CPN"))
        << d->nameFilters().front().toStdString();
    EXPECT_TRUE(d->nameFilters().front().contains("*.nid"));
    return false;
  };
  tab_.btnImport->click();
  EXPECT_TRUE(asked);
}

}  // namespace
}  // namespace tarn
