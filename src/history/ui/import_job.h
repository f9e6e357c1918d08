// SPDX-License-Identifier: GPL-3.0-or-later
// Imports instrument files (and coupon data files) into the history on a thread of its own, with
// its own connection to the store, so that the window keeps turning; reports progress and a
// summary, and can be cancelled (the file being imported then changes nothing).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "history/history_store.h"

namespace tarn {

struct ImportSummary {
  int files = 0;  // files imported
  int64_t added = 0;
  int64_t duplicates = 0;
  int64_t conflicts = 0;
  std::vector<HistoryConflict> first_conflicts;
  std::vector<ProbeKey> conflict_probes;  // every probe that received conflicts
  QStringList failures;                   // "name: reason"
  bool cancelled = false;
  int64_t skipped = 0;  // readings the files held that could not be taken
  std::vector<SkippedReading> first_skipped;
  QString stored_despite_cancel;  // the file whose commit had begun when Cancel came
  int coupon_files = 0;           // coupon data files among the files imported
  int64_t coupons_added = 0;
  int64_t coupons_held = 0;  // coupons the history held already
};

// The summary box's text.
QString SummaryText(const ImportSummary& s);

class ImportJob : public QObject {
  Q_OBJECT

 public:
  // `pi_of_tubular`: the settings' tubular element diameter, for metal loss as the Analysis tab
  // computes it.
  ImportJob(std::string location, QStringList files, double pi_of_tubular,
            QObject* parent = nullptr);
  ~ImportJob() override;

  void Start();
  void Cancel() { cancel_ = true; }
  bool Running() const { return running_; }
  const ImportSummary& summary() const { return summary_; }

 signals:
  // File `file` (0-based) of the list, `readings` of it handled so far, and the share of the
  // whole list done (0-99 %, taken from the files' line counts).
  void Progress(int file, qint64 readings, int percent);
  void Finished();

 private:
  void Run();

  std::string location_;
  QStringList files_;
  double pi_of_tubular_;
  bool coupons_in_mils_;  // the Coupon tab's rate unit when the job was made
  std::atomic<bool> cancel_{false};
  bool running_ = false;
  ImportSummary summary_;  // written by the thread, read after Finished
  std::thread thread_;
};

}  // namespace tarn
