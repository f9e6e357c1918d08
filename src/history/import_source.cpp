#include "history/import_source.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

#include "analysis/nembra_reader.h"
#include "analysis/reader_lines.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "graph/grp_values.h"

namespace tarn {

namespace {

class FirstMessage : public ReaderNotifier {
 public:
  void Error(std::string_view text) override {
    if (text_.empty()) text_ = text;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

bool IsMetalLoss(int32_t data_type) {
  return data_type == 0 || data_type == 4;
}

ProbeHeader HeaderOf(const NembraReader& reader, int32_t data_type) {
  ProbeHeader h;
  h.part_no = reader.part_no;
  h.probe_type_str = reader.probe_type_str;
  h.probe_type = reader.probe_type;
  h.mloss_unit = reader.mloss_unit;
  h.read_interval = reader.read_interval;
  if (!IsMetalLoss(data_type)) return h;
  // The element is consumed at half its thickness, a quarter for a wire loop: the relation the
  // Metal Samples format states with its probe life.
  const double share = reader.probe_type == 2 ? 0.25 : 0.5;
  h.thickness = NumberOrZero(reader.thickness);
  h.probe_life = data_type == 4 ? reader.probe_life : h.thickness * share;
  return h;
}

// Collects a tag's readings and hands them on whenever a batch is full.
class BatchSink : public ReadingSink {
 public:
  BatchSink(const NembraReader& reader, ImportBatch* batch, std::size_t max_batch,
            const std::atomic<bool>* cancel,
            const std::function<HistoryStatus(ImportBatch&)>& on_batch)
      : reader_(reader),
        batch_(batch),
        max_batch_(max_batch),
        cancel_(cancel),
        on_batch_(on_batch) {}

  // Starts tag t; its key and header are taken once the reader has read its header lines.
  void Start(int32_t t) {
    *batch_ = ImportBatch{};
    batch_->tag_index = t;
    header_ready_ = false;
  }

  void Reading(std::string_view dt, double value) override {
    if (!status_.ok) return;
    TakeHeader();
    int32_t chk = 0;
    const DateTime when = Str2DateTime(dt, &chk);
    if (chk == 0 || !std::isfinite(value)) {
      ++batch_->skipped;
      return;
    }
    batch_->readings.push_back({when.ticks / kTicksPerSecond, value});
    if (batch_->readings.size() >= max_batch_) Flush();
  }

  // Hands on what is collected (also an empty batch, so that every tag is seen).
  HistoryStatus Flush() {
    if (!status_.ok) return status_;
    TakeHeader();
    if (cancel_ && cancel_->load()) {
      status_ = HistoryStatus::Fail(kImportCancelled);
      return status_;
    }
    status_ = on_batch_(*batch_);
    batch_->readings.clear();
    batch_->skipped = 0;
    return status_;
  }

  const HistoryStatus& status() const { return status_; }

 private:
  void TakeHeader() {
    if (header_ready_) return;
    header_ready_ = true;
    const int32_t t = batch_->tag_index;
    batch_->key = {reader_.tag_name[t], reader_.serial_no, reader_.data_type[t]};
    batch_->header = HeaderOf(reader_, reader_.data_type[t]);
  }

  const NembraReader& reader_;
  ImportBatch* batch_;
  std::size_t max_batch_;
  const std::atomic<bool>* cancel_;
  const std::function<HistoryStatus(ImportBatch&)>& on_batch_;
  HistoryStatus status_;
  bool header_ready_ = false;
};

}  // namespace

HistoryStatus DigestFile(const std::string& path, ImportFileFacts* out) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return HistoryStatus::Fail("Cannot open file " + path + ".");
  sha256_ctx ctx;
  sha256_init(&ctx);
  std::vector<uint8_t> buffer(1 << 16);
  int64_t size = 0;
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    sha256_update(&ctx, n, buffer.data());
    size += static_cast<int64_t>(n);
  }
  if (std::ferror(file.get())) return HistoryStatus::Fail("Cannot read file " + path + ".");
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, SHA256_DIGEST_SIZE, digest);
  static const char kHex[] = "0123456789abcdef";
  out->sha256.clear();
  for (uint8_t b : digest) {
    out->sha256 += kHex[b >> 4];
    out->sha256 += kHex[b & 15];
  }
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  out->name = ec ? path : absolute.string();
  out->size = size;
  return {};
}

HistoryStatus ReadImportSource(const std::string& path, double pi_of_tubular, std::size_t max_batch,
                               const std::atomic<bool>* cancel,
                               const std::function<HistoryStatus(ImportBatch&)>& on_batch) {
  // The reader needs a graph data set even though streaming never fills it.
  auto grp = std::make_unique<_grp_values_>();
  _basic_set_ setup{};
  setup.pi_of_tubular = pi_of_tubular;
  FirstMessage message;
  NembraReader reader(*grp, setup, &message);
  reader.Open(path);
  if (reader.file_type == -1) {
    return HistoryStatus::Fail(path + ": " +
                               (message.text().empty() ? "Unknown file type." : message.text()));
  }
  reader.FileName = path;
  ImportBatch batch;
  BatchSink sink(reader, &batch, std::max<std::size_t>(max_batch, 1), cancel, on_batch);
  for (int32_t t = 0; t < reader.tag_count; ++t) {
    sink.Start(t);
    // A tag without a probe life line must not take the one of the tag before it.
    reader.probe_life = 0;
    reader.StreamData(t, sink);
    if (!message.text().empty()) return HistoryStatus::Fail(path + ": " + message.text());
    if (!sink.Flush().ok) return sink.status();
  }
  return {};
}

void NormaliseReadings(std::vector<HistoryReading>* readings, int64_t* duplicates,
                       std::vector<BatchConflict>* conflicts) {
  std::vector<HistoryReading>& r = *readings;
  if (!std::is_sorted(r.begin(), r.end(), [](const HistoryReading& a, const HistoryReading& b) {
        return a.time < b.time;
      })) {
    std::stable_sort(r.begin(), r.end(), [](const HistoryReading& a, const HistoryReading& b) {
      return a.time < b.time;
    });
  }
  std::size_t out = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (out > 0 && r[out - 1].time == r[i].time) {
      if (r[out - 1].value == r[i].value) {
        ++*duplicates;
      } else {
        conflicts->push_back({r[i].time, r[out - 1].value, r[i].value});
      }
      continue;
    }
    r[out++] = r[i];
  }
  r.resize(out);
}

HistoryTime HistoryNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTime dt;
  if (!MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, std::min(local.tm_sec, 59), &dt)) {
    return 0;
  }
  return dt.ticks / kTicksPerSecond;
}

}  // namespace tarn
