// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ui/report_job.h"

#include <QMetaObject>
#include <memory>

#include "history/history_location.h"

namespace tarn {

ReportJob::ReportJob(std::string location, ReportRequest request, std::string path, QObject* parent)
    : QObject(parent),
      location_(std::move(location)),
      request_(std::move(request)),
      path_(std::move(path)) {}

ReportJob::~ReportJob() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

void ReportJob::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void ReportJob::Run() {
  error_ = MissingHistoryFile(location_);
  std::unique_ptr<HistoryStore> store;
  if (error_.empty()) store = OpenHistory(location_, &error_);
  if (store) {
    ReportControl control;
    control.cancel = &cancel_;
    control.progress = [this](int done, int total) {
      QMetaObject::invokeMethod(
          this, [this, done, total] { emit Progress(done, total); }, Qt::QueuedConnection);
    };
    saved_ = SaveHistoryReport(*store, request_, path_, &error_, &control);
  }
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (thread_.joinable()) thread_.join();
        emit Finished();
      },
      Qt::QueuedConnection);
}

}  // namespace tarn
