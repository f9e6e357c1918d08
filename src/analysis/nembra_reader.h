// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument data file reader: recognises a Nembra or Metal Samples file, indexes its tags,
// and reads one tag's header values and readings into the graph data set.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/line_reader.h"
#include "analysis/read_progress.h"
#include "common/date_time.h"
#include "common/notifier.h"
#include "settings/settings.h"

namespace tarn {

inline constexpr int32_t kMaxTags = 100;

// graph/grp_values.h: declared only, so that streaming the readings (the history's import)
// needs nothing of the graph.
struct _grp_values_;

// What a streamed reading's value was read from.
struct ReadingFacts {
  // The value text is a finite decimal number in the file's layout ("N/A" after a range flag,
  // or carried from such a reading, counts as one); false where the Analysis tab reads 0.
  bool number = true;
  // Half a unit of the text's last decimal place, carried through the metal-loss conversion:
  // two values closer than this may be the same reading written twice.
  double precision = 0.0;
  int64_t line_at = 0;          // byte offset of the line
  std::string_view value_text;  // valid during the call
};

// Receives every reading of a tag in file order, with neither the graph's one-minute rule nor
// its 65535 cap: the time text as the reader passes it on and the value as the Analysis tab
// shows it (metal loss for ER).
class ReadingSink {
 public:
  virtual ~ReadingSink() = default;
  virtual void Reading(std::string_view dt, double value, const ReadingFacts& facts) = 0;
  // A line of the tag's readings that holds no reading (too short, a field missing, or the
  // rest of a line longer than a read takes): `why` says which.
  virtual void PassedOver(int64_t /*line_at*/, std::string_view /*why*/) {}
};

// All texts are narrow (Windows-1252) as found in the file, header values in upper case, except
// FileName, which is the path as the operating system takes it (UTF-8 on Linux).
class NembraReader {
 public:
  // Readings go into `grp` (the program passes vGrpData); the tubular probe diameter comes from
  // `setup.pi_of_tubular` at the time of reading. The notifier may be null (no messages).
  NembraReader(_grp_values_& grp, const _basic_set_& setup, Notifier* notifier);
  // A reader that only indexes and streams (StreamData): it has no graph data set, so GetData
  // and Data2Buffer do nothing. Spares the history's import a data set it would never fill.
  NembraReader(const _basic_set_& setup, Notifier* notifier);

  // Indexes the file: file_type, the tag index, tag_count, is_data, cur_tag. Does not set
  // FileName; the caller sets it to the same path before GetData.
  void Open(const std::string& path);
  // Reads tag t of FileName: the header fields, base_time, record_count, data_type_name and the
  // whole graph data set. Does nothing for an unknown file or a t outside the index.
  void GetData(int32_t t);
  // Reads tag t as GetData does, header fields included, but hands every reading to `sink`
  // and leaves the graph data set untouched; record_count is the number handed over.
  void StreamData(int32_t t, ReadingSink& sink);

  // Reads `text` instead of the file named by the path (which then only names it); the text
  // must outlive the reader's use of it. Empty: files again.
  void SetMemoryFile(std::string_view text) { memory_ = text; }
  // Indexes every tag, not only the first kMaxTags (the history takes all of a file).
  bool index_all = false;

  // -1 unknown, 0 Nembra, 1 Metal Samples, from the first recognised line of the open file.
  // The GetInfo and GetData functions below read the current tag of `file`, or of the text
  // given to SetMemoryFile when `file` is null.
  int32_t GetFileType(FILE* file);
  void GetNembraDataPtr(FILE* file);
  void GetMetalDataPtr(FILE* file);
  void GetInfoNembra(FILE* file);
  void GetInfoMetal(FILE* file);
  void GetDataNembraEr(FILE* file);
  void GetDataNembraLpr(FILE* file);
  void GetDataMetalEr(FILE* file);
  void GetDataMetalLpr(FILE* file);

  // Metal loss, in the unit of `thickness`, from a resistance ratio of the current tag.
  double Rsrr2Metalloss(int32_t ptype, double r) const;
  // Offers one reading at position p to the graph data set; true when it was stored (the
  // caller then advances p). At p = 0 it also sets base_time.
  bool Data2Buffer(int32_t p, std::string_view dt, double value);

  // While set, Open reports its progress there and stops early when asked to; a stopped Open
  // leaves no tags and cancelled() true. May be null.
  void SetProgress(ReadProgress* progress) { progress_ = progress; }
  bool cancelled() const { return cancelled_; }

  // Takes over everything another reader found (file, index, header values, readings count),
  // but not its graph data set: a reader that worked on another thread hands over its results.
  void CopyStateFrom(const NembraReader& other);

  // The graph data set this reader fills.
  // Only for a reader given one.
  const _grp_values_& grp() const { return *grp_; }

  std::string FileName;
  int32_t file_type = -1;
  int32_t tag_count = 0;
  // Tags in the file, those past the first kMaxTags included.
  int32_t tags_in_file = 0;
  // Byte offsets: of the tag's first header line, and of the line after its data marker. At
  // least tag_count entries (kMaxTags at most, unless index_all).
  std::vector<int64_t> tag_ptr;
  std::vector<int64_t> data_ptr;
  std::vector<std::string> tag_name;
  std::vector<int32_t> data_type;
  int32_t cur_tag = 0;
  bool is_data = false;

  // Header values of the tag read last.
  std::string serial_no;
  std::string part_no;
  std::string probe_type_str;
  int32_t probe_type = 0;
  std::string mloss_unit;
  std::string thickness;
  std::string read_interval;
  std::string start_dt;
  int32_t probe_life = 0;

  int32_t record_count = 0;
  // Readings of the tag read last, those past the graph data set's room included.
  int32_t readings_in_tag = 0;
  std::string data_type_name;
  // Time of the first stored reading; reading i was taken elapsed[i] minutes after it.
  DateTime base_time{};
  // Each stored reading's own time as recorded, seconds included: the table shows these, while
  // the graph keeps its whole minutes after base_time.
  std::vector<DateTime> reading_time;

 private:
  // Builds the tag index from the pieces next() hands out: each one's code and value (as
  // apParseLine gives them), its offset and the offset after it.
  template <typename NextPiece>
  void IndexPieces(int32_t type_of_file, NextPiece next);
  // Open's work on the letter pieces of the file or of the text in memory.
  template <typename Pieces>
  void IndexFrom(Pieces& pieces);
  // Lines of `file` from `offset`, or of the text in memory when `file` is null.
  LineReader LinesAt(FILE* file, int64_t offset) const;
  void GetDataNembra(FILE* file, bool er);
  // Rsrr2Metalloss with the thickness already converted.
  double MetalLoss(int32_t ptype, double t, double r) const;
  void Report(std::string_view text);
  // The file at `path`; null (nothing to open) while a text in memory stands in for it.
  FILE* OpenFile(const std::string& path) const;
  // The line reader's buffer for a tag: no larger than the file as Open found it.
  std::size_t LineBlock() const {
    constexpr int64_t kLargest = 1 << 16;
    return static_cast<std::size_t>(file_size_ > 0 && file_size_ < kLargest ? file_size_ + 1
                                                                            : kLargest);
  }
  // Hands a streamed reading to the sink along with what its value was read from.
  void Offer(std::string_view dt, double value, std::string_view text, bool number,
             double precision, int64_t line_at);
  void PassOver(int64_t line_at, std::string_view why) {
    if (sink_) sink_->PassedOver(line_at, why);
  }

  _grp_values_* grp_;  // null for a reader that only streams
  const _basic_set_& setup_;
  Notifier* notifier_;
  ReadingSink* sink_ = nullptr;  // set only while StreamData runs
  ReadProgress* progress_ = nullptr;
  bool cancelled_ = false;
  int32_t readings_beyond_ = 0;
  // The stored start time text and its conversion, so a reading is measured without reading it
  // again.
  std::string base_text_;
  DateTime base_value_{};
  FixedDateTimeReader reading_dates_;
  std::string_view memory_;
  int64_t file_size_ = 0;
};

}  // namespace tarn
