// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the probe-history report on a thread of its own, with its own connection to the store,
// so that the window keeps turning however many probes it covers; reports progress and can be
// cancelled (nothing is then written).
#pragma once

#include <QObject>
#include <atomic>
#include <string>
#include <thread>

#include "history/ui/history_report.h"

namespace tarn {

class ReportJob : public QObject {
  Q_OBJECT

 public:
  ReportJob(std::string location, ReportRequest request, std::string path,
            QObject* parent = nullptr);
  ~ReportJob() override;

  void Start();
  void Cancel() { cancel_ = true; }
  // After Finished: whether the report was saved, else why not.
  bool saved() const { return saved_; }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  const ReportRequest& request() const { return request_; }

 signals:
  void Progress(int done, int total);
  void Finished();

 private:
  void Run();

  std::string location_;
  ReportRequest request_;
  std::string path_;
  std::atomic<bool> cancel_{false};
  bool saved_ = false;  // written by the thread, read after Finished
  std::string error_;
  std::thread thread_;
};

}  // namespace tarn
