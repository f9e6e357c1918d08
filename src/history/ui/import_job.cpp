// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/import_job.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "common/ui/qt_text.h"
#include "coupon/coupon_store.h"
#include "coupon/data_file_kind.h"
#include "history/history_review.h"
#include "settings/ui/settings_records.h"

namespace tarn {

QString SummaryText(const ImportSummary& s) {
  QString text =
      QStringLiteral("Files imported: %1\nNew readings: %2\nDuplicates: %3\nConflicts: %4")
          .arg(s.files)
          .arg(s.added)
          .arg(s.duplicates)
          .arg(s.conflicts);
  if (!s.conflict_probes.empty()) {
    text += QStringLiteral("\nProbes with conflicts: ") +
            Chars2SysStr(ProbeKeyNames(s.conflict_probes).c_str());
  }
  for (const HistoryConflict& c : s.first_conflicts) {
    text += QStringLiteral("\n  %1 %2 at %3: %4 %5, file %6")
                .arg(Chars2SysStr(c.tag.c_str()), Chars2SysStr(c.serial.c_str()),
                     FromUtf8(DateTime2Str(DateTime{c.time * kTicksPerSecond})),
                     c.same_file ? QStringLiteral("in the same file") : QStringLiteral("stored"))
                .arg(c.stored)
                .arg(c.offered);
  }
  if (s.skipped > 0) {
    text += QStringLiteral("\nSkipped readings: %1").arg(s.skipped);
    for (const SkippedReading& k : s.first_skipped) {
      text += QStringLiteral("\n  ");
      if (k.line > 0) text += QStringLiteral("line %1, ").arg(k.line);
      if (!k.tag.empty()) text += QStringLiteral("tag %1: ").arg(Chars2SysStr(k.tag.c_str()));
      text += FromUtf8(k.reason);
    }
  }
  if (s.coupon_files > 0) {
    text += QStringLiteral("\nCoupons added: %1\nCoupons already held: %2")
                .arg(s.coupons_added)
                .arg(s.coupons_held);
  }
  for (const QString& f : s.failures) text += QStringLiteral("\nNot imported: ") + f;
  if (s.cancelled)
    text += QStringLiteral("\nThe import was cancelled; the file it was on is unchanged.");
  if (!s.stored_despite_cancel.isEmpty()) {
    text += QStringLiteral(
                "\nCancel came too late for %1: it was already being stored, and is "
                "stored in full. No file after it was imported.")
                .arg(s.stored_despite_cancel);
  }
  return text;
}

ImportJob::ImportJob(std::string location, QStringList files, double pi_of_tubular, QObject* parent)
    : QObject(parent),
      location_(std::move(location)),
      files_(std::move(files)),
      pi_of_tubular_(pi_of_tubular),
      coupons_in_mils_(vUnit[4].sel == 1) {}

ImportJob::~ImportJob() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

void ImportJob::Start() {
  if (running_) return;
  running_ = true;
  cancel_ = false;
  thread_ = std::thread([this] { Run(); });
}

namespace {

// Lines of a file: about one reading each, for the share done while it is imported.
int64_t LineCount(const QString& path, const std::atomic<bool>& cancel) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  int64_t lines = 0;
  while (!f.atEnd() && !cancel) {
    const QByteArray block = f.read(1 << 20);
    lines += std::count(block.begin(), block.end(), '\n');
  }
  return lines;
}

// Keeps a reader's first message.
struct FirstError : Notifier {
  std::string text;
  void Error(std::string_view t) override {
    if (text.empty()) text.assign(t);
  }
};

// The coupons of a coupon data file, all of them or none.
CouponImportResult ImportCouponFile(HistoryStore& store, const QString& path, bool mils) {
  CouponImportResult r;
  auto file = std::make_unique<CouponStore>();
  FirstError error;
  if (Open(ToUtf8(path), *file, error) != CouponFileResult::kOk) {
    r.status = Status::Fail(error.text.empty() ? "it cannot be read." : error.text);
    return r;
  }
  return store.ImportCoupons(
      std::vector<_coupon_values_>(file->items, file->items + file->record_count), mils);
}

}  // namespace

void ImportJob::Run() {
  std::string error;
  std::unique_ptr<HistoryStore> store = OpenHistory(location_, &error);
  if (!store) {
    summary_.failures << FromUtf8(error);
  } else {
    for (int i = 0; i < files_.size() && !cancel_; ++i) {
      if (SniffDataFile(ToUtf8(files_[i])) == DataFileKind::kCoupon) {
        const CouponImportResult r = ImportCouponFile(*store, files_[i], coupons_in_mils_);
        if (!r.status) {
          summary_.failures << QFileInfo(files_[i]).fileName() + QStringLiteral(": ") +
                                   FromUtf8(r.status.message);
          continue;
        }
        ++summary_.files;
        ++summary_.coupon_files;
        summary_.coupons_added += r.added;
        summary_.coupons_held += r.held;
        continue;
      }
      ImportControl control;
      control.cancel = &cancel_;
      control.pi_of_tubular = pi_of_tubular_;
      const int64_t lines = std::max<int64_t>(LineCount(files_[i], cancel_), 1);
      const int files = static_cast<int>(files_.size());
      control.progress = [this, i, lines, files](int64_t done) {
        const double share = std::min(1.0, static_cast<double>(done) / static_cast<double>(lines));
        const int percent = std::min(99, static_cast<int>((i + share) * 100.0 / files));
        QMetaObject::invokeMethod(
            this, [this, i, done, percent] { emit Progress(i, done, percent); },
            Qt::QueuedConnection);
      };
      const ImportResult r = store->Import(ToUtf8(files_[i]), control);
      // A file that finished before the cancel arrived stays imported.
      if (cancel_ && !r.status) {
        summary_.cancelled = true;
        break;
      }
      if (!r.status) {
        summary_.failures << QFileInfo(files_[i]).fileName() + QStringLiteral(": ") +
                                 FromUtf8(r.status.message);
        continue;
      }
      ++summary_.files;
      summary_.added += r.added;
      summary_.duplicates += r.duplicates;
      summary_.conflicts += r.conflicts;
      for (const ProbeKey& k : r.conflict_probes) {
        const bool known = std::any_of(summary_.conflict_probes.begin(),
                                       summary_.conflict_probes.end(), [&](const ProbeKey& o) {
                                         return o.tag == k.tag && o.serial == k.serial &&
                                                o.data_type == k.data_type;
                                       });
        if (!known) summary_.conflict_probes.push_back(k);
      }
      summary_.skipped += r.skipped;
      for (const HistoryConflict& c : r.first_conflicts) {
        if (summary_.first_conflicts.size() < kConflictExamples)
          summary_.first_conflicts.push_back(c);
      }
      for (const SkippedReading& k : r.first_skipped) {
        if (summary_.first_skipped.size() < kSkippedExamples) summary_.first_skipped.push_back(k);
      }
      // The cancel came once this file's commit had begun: it is stored, the rest is not done.
      if (cancel_) {
        summary_.stored_despite_cancel = QFileInfo(files_[i]).fileName();
        break;
      }
    }
  }
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (thread_.joinable()) thread_.join();
        running_ = false;
        emit Finished();
      },
      Qt::QueuedConnection);
}

}  // namespace tarn
