// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/import_source.h"

#include <nettle/sha2.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <utility>

#include "analysis/nembra_reader.h"
#include "analysis/reader_lines.h"
#include "common/date_time.h"
#include "common/number_text.h"

namespace tarn {

namespace {

class FirstMessage : public Notifier {
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

std::string Quoted(std::string_view text) {
  constexpr std::size_t kLongest = 24;
  std::string s(text.substr(0, kLongest));
  if (text.size() > kLongest) s += "...";
  return "\"" + s + "\"";
}

int64_t CountNewlines(const char* p, const char* end) {
  int64_t n = 0;
  while (p < end) {
    const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (!nl) break;
    ++n;
    p = static_cast<const char*>(nl) + 1;
  }
  return n;
}

// Line numbers (from 1) of byte offsets, counted in the file; 0 where it cannot be read.
void NumberLines(const std::string& path, std::vector<std::pair<int64_t, int64_t*>> offsets) {
  if (offsets.empty()) return;
  std::sort(offsets.begin(), offsets.end());
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return;
  // No more than up to the last offset is read.
  const std::size_t kBlock =
      static_cast<std::size_t>(std::clamp<int64_t>(offsets.back().first + 1, 1, int64_t{1} << 16));
  std::unique_ptr<char[]> buffer(new char[kBlock]);  // only bytes read are looked at
  int64_t start = 0, line = 1;                       // the block's offset; the line at p
  std::size_t i = 0, n = 0;
  while (i < offsets.size() && (n = std::fread(buffer.get(), 1, kBlock, file.get())) > 0) {
    const char* const base = buffer.get();
    const char* p = base;
    const int64_t end = start + static_cast<int64_t>(n);
    while (i < offsets.size() && offsets[i].first < end) {
      const char* const at = base + std::max<int64_t>(offsets[i].first - start, p - base);
      line += CountNewlines(p, at);
      p = at;
      *offsets[i++].second = line;
    }
    line += CountNewlines(p, base + n);
    start = end;
  }
  while (i < offsets.size()) *offsets[i++].second = line;
}

// Collects a tag's readings and hands them on whenever a batch is full.
class BatchSink : public ReadingSink {
 public:
  BatchSink(const std::string& path, const NembraReader& reader, ImportBatch* batch,
            std::size_t max_batch, const std::atomic<bool>* cancel,
            const std::function<Status(ImportBatch&)>& on_batch)
      : path_(path),
        reader_(reader),
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

  void Reading(std::string_view dt, double value, const ReadingFacts& facts) override {
    if (!status_.ok) return;
    TakeHeader();
    DateTime when;
    if (!dates_.Read(dt, &when)) {
      int32_t chk = 0;
      when = Str2DateTime(dt, &chk);
      if (chk == 0) return Skip(facts.line_at, "date and time " + Quoted(dt) + " do not convert");
    }
    if (!facts.number || !std::isfinite(value)) {
      return Skip(facts.line_at, "value " + Quoted(facts.value_text) + " is not a number");
    }
    const HistoryTime t = when.ticks / kTicksPerSecond;
    if (!InHistoryRange(t)) {
      return Skip(facts.line_at, "date " + Quoted(dt) + " is outside the years " +
                                     std::to_string(kFirstHistoryYear) + " to " +
                                     std::to_string(kLastHistoryYear));
    }
    batch_->readings.push_back({t, value});
    batch_->precision = std::max(batch_->precision, facts.precision);
    ++read_;
    if (batch_->readings.size() >= max_batch_) Flush();
  }

  void PassedOver(int64_t line_at, std::string_view why) override {
    if (!status_.ok) return;
    TakeHeader();
    Skip(line_at, std::string(why));
  }

  // Hands on what is collected (also an empty batch, so that every tag is seen).
  Status Flush() {
    if (!status_.ok) return status_;
    TakeHeader();
    if (cancel_ && cancel_->load()) {
      status_ = Status::Fail(kImportCancelled);
      return status_;
    }
    std::vector<std::pair<int64_t, int64_t*>> lines;
    for (std::size_t i = 0; i < batch_->skips.size(); ++i) {
      lines.emplace_back(skip_at_[i], &batch_->skips[i].line);
    }
    NumberLines(path_, lines);
    status_ = on_batch_(*batch_);
    batch_->readings.clear();
    batch_->skipped = 0;
    batch_->skips.clear();
    skip_at_.clear();
    return status_;
  }

  const Status& status() const { return status_; }
  int64_t read() const { return read_; }
  int64_t skipped() const { return skipped_; }
  const std::string& first_reason() const { return first_reason_; }

 private:
  void Skip(int64_t line_at, std::string reason) {
    ++batch_->skipped;
    ++skipped_;
    if (first_reason_.empty()) first_reason_ = reason;
    if (examples_ >= kSkippedExamples) return;
    ++examples_;
    batch_->skips.push_back({0, batch_->key.tag, std::move(reason)});
    skip_at_.push_back(line_at);
  }
  void TakeHeader() {
    if (header_ready_) return;
    header_ready_ = true;
    const int32_t t = batch_->tag_index;
    batch_->key = {reader_.tag_name[t], reader_.serial_no, reader_.data_type[t]};
    batch_->header = HeaderOf(reader_, reader_.data_type[t]);
  }

  const std::string& path_;
  const NembraReader& reader_;
  ImportBatch* batch_;
  std::size_t max_batch_;
  const std::atomic<bool>* cancel_;
  const std::function<Status(ImportBatch&)>& on_batch_;
  FixedDateTimeReader dates_;  // the usual fixed layout, a day converted once
  Status status_;
  bool header_ready_ = false;
  int64_t read_ = 0, skipped_ = 0;
  std::size_t examples_ = 0;
  std::vector<int64_t> skip_at_;  // byte offsets of batch_->skips
  std::string first_reason_;
};

// The whole of a regular file of at most `limit` bytes; false for a larger one, one that cannot
// be read, or one that changed size while read.
bool ReadSmallFile(const std::string& path, int64_t limit, std::string* out) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  struct stat st {};
  if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) {
    return false;
  }
  out->resize(static_cast<std::size_t>(st.st_size));
  if (std::fread(out->data(), 1, out->size(), file.get()) != out->size()) return false;
  return std::fgetc(file.get()) == EOF && !std::ferror(file.get());
}

}  // namespace

Status DigestFile(const std::string& path, ImportFileFacts* out) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return Status::Fail("Cannot open file " + path + ".");
  sha256_ctx ctx;
  sha256_init(&ctx);
  constexpr std::size_t kBlock = 1 << 16;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBlock]);  // only bytes read are looked at
  int64_t size = 0;
  std::size_t n = 0;
  while ((n = std::fread(buffer.get(), 1, kBlock, file.get())) > 0) {
    sha256_update(&ctx, n, buffer.get());
    size += static_cast<int64_t>(n);
  }
  if (std::ferror(file.get())) return Status::Fail("Cannot read file " + path + ".");
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

Status ReadImportSource(const std::string& path, double pi_of_tubular, std::size_t max_batch,
                        const std::atomic<bool>* cancel,
                        const std::function<Status(ImportBatch&)>& on_batch) {
  _basic_set_ setup{};
  setup.pi_of_tubular = pi_of_tubular;
  FirstMessage message;
  NembraReader reader(setup, &message);
  reader.index_all = true;
  // A small file is read once and then read in memory: each tag would open and read it again.
  constexpr int64_t kReadWhole = int64_t{1} << 20;
  std::string whole;
  if (ReadSmallFile(path, kReadWhole, &whole)) reader.SetMemoryFile(whole);
  reader.Open(path);
  if (reader.file_type == -1) {
    return Status::Fail(path + ": " +
                        (message.text().empty() ? "Unknown file type." : message.text()));
  }
  reader.FileName = path;
  if (reader.tag_count == 0) {
    return Status::Fail(path + ": no tag could be read; nothing was imported.");
  }
  ImportBatch batch;
  BatchSink sink(path, reader, &batch, std::max<std::size_t>(max_batch, 1), cancel, on_batch);
  for (int32_t t = 0; t < reader.tag_count; ++t) {
    sink.Start(t);
    // A tag without a probe life line must not take the one of the tag before it.
    reader.probe_life = 0;
    reader.StreamData(t, sink);
    if (!message.text().empty()) return Status::Fail(path + ": " + message.text());
    if (!sink.Flush().ok) return sink.status();
  }
  if (sink.read() == 0) {
    std::string why = path + ": no reading could be read";
    if (sink.skipped() > 0) {
      why += " (" + std::to_string(sink.skipped()) + " skipped, the first: " + sink.first_reason() +
             ")";
    }
    return Status::Fail(why + "; nothing was imported.");
  }
  return {};
}

bool InHistoryRange(HistoryTime t) {
  static const auto bound = [](int year) {
    DateTime dt;
    MakeDateTime(year, 1, 1, 0, 0, 0, &dt);
    return dt.ticks / kTicksPerSecond;
  };
  static const HistoryTime first = bound(kFirstHistoryYear), end = bound(kLastHistoryYear + 1);
  return t >= first && t < end;
}

void DropOutOfRange(ImportBatch* batch) {
  std::vector<HistoryReading>& r = batch->readings;
  const auto kept = std::stable_partition(
      r.begin(), r.end(), [](const HistoryReading& x) { return InHistoryRange(x.time); });
  for (auto it = kept; it != r.end(); ++it) {
    ++batch->skipped;
    if (batch->skips.size() >= kSkippedExamples) continue;
    DateTime dt;
    dt.ticks = it->time * kTicksPerSecond;
    batch->skips.push_back({0, batch->key.tag,
                            "reading of " + DateTime2Str(dt) + ", outside the years " +
                                std::to_string(kFirstHistoryYear) + " to " +
                                std::to_string(kLastHistoryYear)});
  }
  r.erase(kept, r.end());
}

void TakeSkipped(const ImportBatch& batch, ImportResult* result) {
  result->skipped += batch.skipped;
  for (const SkippedReading& s : batch.skips) {
    if (result->first_skipped.size() < kSkippedExamples) result->first_skipped.push_back(s);
  }
}

void NormaliseReadings(std::vector<HistoryReading>* readings, double precision,
                       HistoryTime same_seconds, int64_t* duplicates,
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
    if (out > 0 && r[i].time - r[out - 1].time < same_seconds) {
      if (SameValue(r[out - 1].value, r[i].value, precision)) {
        ++*duplicates;
      } else {
        conflicts->push_back({r[out - 1].time, r[out - 1].value, r[i].value, true});
      }
      continue;
    }
    r[out++] = r[i];
  }
  r.resize(out);
}

bool MeetStored(const std::vector<HistoryReading>& stored, const HistoryReading& offered,
                double precision, HistoryTime same_seconds, std::size_t* k, int64_t* duplicates,
                std::vector<BatchConflict>* conflicts) {
  const HistoryTime t = offered.time;
  while (*k < stored.size() && stored[*k].time <= t - same_seconds) ++*k;
  const HistoryReading* held = nullptr;
  for (std::size_t j = *k; j < stored.size() && stored[j].time < t + same_seconds; ++j) {
    if (!held || std::llabs(stored[j].time - t) < std::llabs(held->time - t)) held = &stored[j];
  }
  if (!held) return false;
  if (SameValue(held->value, offered.value, precision)) {
    ++*duplicates;
  } else {
    conflicts->push_back({held->time, held->value, offered.value, false});
  }
  return true;
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
