// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/nembra_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/letter_pieces.h"
#include "analysis/line_reader.h"
#include "analysis/reader_lines.h"
#include "analysis/token_tables.h"
#include "common/code_page.h"
#include "common/number_text.h"
#include "graph/grp_values.h"

namespace tarn {

namespace {

// Indexing reads the whole file: large blocks keep it close to the speed of the disk cache.
constexpr std::size_t kIndexBlock = 1 << 20;

class FileCloser {
 public:
  explicit FileCloser(FILE* f) : f_(f) {}
  ~FileCloser() {
    if (f_) std::fclose(f_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  FILE* get() const { return f_; }

 private:
  FILE* f_;
};

// What IndexPieces reads: every line of `reader`, classified.
auto ClassifiedLines(LineReader& reader) {
  return [&reader](int32_t* code, std::string* value, int64_t* at, int64_t* after) {
    std::string_view piece;
    *at = reader.offset();
    if (!reader.Next(&piece)) return false;
    *after = reader.offset();
    *value = apParseLine(piece, code);
    return true;
  };
}

// Half a unit of the last decimal place of a number text ("1.25" gives 0.005, "3e2" 50).
double HalfUnit(std::string_view text) {
  int decimals = 0;
  bool after_point = false;
  std::size_t i = 0;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      after_point = true;
    } else if (after_point && text[i] >= '0' && text[i] <= '9') {
      ++decimals;
    }
  }
  // In floating point: the exponent may be the smallest integer, which minus the decimals
  // would wrap round to the largest.
  const double exponent = i < text.size() ? LeadingInt(text.substr(i + 1)) : 0;
  return 0.5 * std::pow(10.0, exponent - decimals);
}

}  // namespace

NembraReader::NembraReader(_grp_values_& grp, const _basic_set_& setup, Notifier* notifier)
    : grp_(&grp), setup_(setup), notifier_(notifier) {}

NembraReader::NembraReader(const _basic_set_& setup, Notifier* notifier)
    : grp_(nullptr), setup_(setup), notifier_(notifier) {}

void NembraReader::CopyStateFrom(const NembraReader& other) {
  FileName = other.FileName;
  file_type = other.file_type;
  tag_count = other.tag_count;
  tag_ptr = other.tag_ptr;
  data_ptr = other.data_ptr;
  tag_name = other.tag_name;
  data_type = other.data_type;
  cur_tag = other.cur_tag;
  is_data = other.is_data;
  serial_no = other.serial_no;
  part_no = other.part_no;
  probe_type_str = other.probe_type_str;
  probe_type = other.probe_type;
  mloss_unit = other.mloss_unit;
  thickness = other.thickness;
  read_interval = other.read_interval;
  start_dt = other.start_dt;
  probe_life = other.probe_life;
  record_count = other.record_count;
  data_type_name = other.data_type_name;
  base_time = other.base_time;
  reading_time = other.reading_time;
}

void NembraReader::Report(std::string_view text) {
  if (notifier_) notifier_->Error(text);
}

FILE* NembraReader::OpenFile(const std::string& path) const {
  return memory_.empty() ? std::fopen(path.c_str(), "rb") : nullptr;
}

LineReader NembraReader::LinesAt(FILE* file, int64_t offset) const {
  if (!file) return LineReader(memory_, offset);
  return LineReader(file, offset, LineBlock());
}

void NembraReader::Offer(std::string_view dt, double value, std::string_view text, bool number,
                         double precision, int64_t line_at) {
  ReadingFacts facts;
  facts.value_text = text;
  facts.number = number;
  facts.precision = precision;
  facts.line_at = line_at;
  sink_->Reading(dt, value, facts);
}

void NembraReader::Open(const std::string& path) {
  data_type_name.clear();
  tags_in_file = 0;
  cancelled_ = false;
  if (!memory_.empty()) {
    file_size_ = static_cast<int64_t>(memory_.size());
    if (progress_) {
      progress_->total = file_size_;
      progress_->done = 0;
    }
    LetterPieces pieces(memory_, progress_);
    IndexFrom(pieces);
    return;
  }
  FileCloser file(OpenFile(path));
  if (!file.get()) {
    file_type = -1;
    tag_count = 0;
    is_data = false;
    Report("Cannot open file.");
    return;
  }
  struct stat st {};
  int64_t size = 0;
  if (fstat(fileno(file.get()), &st) == 0) size = st.st_size;
  file_size_ = size;
  FileLetterPieces pieces(file.get(), size, progress_);
  IndexFrom(pieces);
}

template <typename Pieces>
void NembraReader::IndexFrom(Pieces& pieces) {
  // Only pieces with a letter can hold a keyword, so reading lines are passed over in bulk.
  // The index counts the lines before the first recognised one too: those with a keyword are
  // kept (as many as kKept) so that they need not be read and classified again.
  struct Classified {
    int32_t code;
    std::string value;
    int64_t pos;
    int64_t after;
  };
  constexpr std::size_t kKept = 4096;
  std::vector<Classified> before;
  bool kept_all = true;
  std::string_view piece;
  int64_t pos = 0;
  int64_t after = 0;
  file_type = -1;
  while (file_type == -1 && pieces.Next(&piece, &pos, &after)) {
    int32_t code = -1;
    std::string value = apParseLine(piece, &code);
    if (code == -1) continue;
    if (code == kTagNumber) file_type = 0;
    if (code == kMetalSamples) file_type = 1;
    kept_all = kept_all && before.size() < kKept;
    if (kept_all) before.push_back({code, std::move(value), pos, after});
  }
  tag_count = 0;
  if (!pieces.cancelled() && file_type == -1) Report("Unknown file type.");
  if (!pieces.cancelled() && file_type != -1) {
    if (!kept_all) {
      // Too many to keep: from the start again.
      before.clear();
      pieces.Rewind();
    }
    std::size_t kept = 0;
    IndexPieces(file_type, [&](int32_t* code, std::string* value, int64_t* at, int64_t* end) {
      if (kept < before.size()) {
        Classified& c = before[kept++];
        *code = c.code;
        *value = std::move(c.value);
        *at = c.pos;
        *end = c.after;
        return true;
      }
      if (!pieces.Next(&piece, at, end)) return false;
      *value = apParseLine(piece, code);
      return true;
    });
    if (pieces.cancelled()) tag_count = 0;
  }
  cancelled_ = pieces.cancelled();
  is_data = tag_count > 0;
  if (is_data) cur_tag = 0;
}

int32_t NembraReader::GetFileType(FILE* file) {
  LineReader reader(file, 0);
  std::string_view piece;
  int32_t code = -1;
  while (reader.Next(&piece)) {
    apParseLine(piece, &code);
    if (code == kTagNumber) return 0;
    if (code == kMetalSamples) return 1;
  }
  return -1;
}

void NembraReader::GetNembraDataPtr(FILE* file) {
  LineReader reader(file, 0, kIndexBlock);
  IndexPieces(0, ClassifiedLines(reader));
}

void NembraReader::GetMetalDataPtr(FILE* file) {
  LineReader reader(file, 0, kIndexBlock);
  IndexPieces(1, ClassifiedLines(reader));
}

template <typename NextPiece>
void NembraReader::IndexPieces(int32_t type_of_file, NextPiece next) {
  // A marker without a tag line of its own since the last one keeps the entry before it's name
  // and header position, so its readings still get an entry.
  std::string name;
  int64_t header = 0;
  int32_t n = 0;
  int32_t code = -1;
  std::string value;
  int64_t pos = 0;
  int64_t after = 0;
  const bool nembra = type_of_file == 0;
  while (next(&code, &value, &pos, &after)) {
    int32_t type = -1;
    switch (code) {
      case kTagNumber:
        if (nembra) {
          header = pos;
          name = std::move(value);
        }
        break;
      case kProbeTypeLine:
        if (!nembra) header = pos;
        break;
      case kProbeId:
        if (!nembra) name = std::move(value);
        break;
      case kRsRr:
        if (nembra) type = 0;
        break;
      case kCorRate:
        if (nembra) type = 1;
        break;
      case kMetalLossMarker:
        if (!nembra) type = 4;
        break;
      case kCorrosionRate:
        if (!nembra) type = 5;
        break;
      case kCurrent:
        type = nembra ? 2 : 6;
        break;
      case kPotential:
        type = nembra ? 3 : 7;
        break;
      default:
        break;
    }
    if (type < 0) continue;
    // Tags past the index are counted, so the screen can say what it does not list.
    ++tags_in_file;
    if (n >= kMaxTags && !index_all) continue;
    if (static_cast<std::size_t>(n) >= tag_ptr.size()) {
      // Most files hold a few tags: the index grows with them rather than being set up whole.
      const std::size_t more = std::max<std::size_t>(8, tag_ptr.size() * 2);
      tag_ptr.resize(more);
      data_ptr.resize(more);
      tag_name.resize(more);
      data_type.resize(more);
    }
    tag_ptr[n] = header;
    tag_name[n] = name;
    data_type[n] = type;
    data_ptr[n] = after;
    ++n;
  }
  tag_count = n;
}

void NembraReader::GetData(int32_t t) {
  if (!grp_ || file_type == -1 || t < 0 || t >= tag_count) return;
  cur_tag = t;
  serial_no.clear();
  part_no.clear();
  probe_type_str.clear();
  mloss_unit.clear();
  thickness.clear();
  read_interval.clear();
  start_dt.clear();
  probe_type = 0;
  record_count = 0;
  readings_beyond_ = 0;

  // A text in memory is read where it lies: no file is opened (file.get() stays null).
  FileCloser file(OpenFile(FileName));
  if (memory_.empty() && !file.get()) {
    Report("Cannot open file.");
  } else if (data_type[t] <= 3) {
    GetInfoNembra(file.get());
    if (data_type[t] == 0) {
      GetDataNembraEr(file.get());
    } else {
      GetDataNembraLpr(file.get());
    }
  } else {
    GetInfoMetal(file.get());
    if (data_type[t] == 4) {
      GetDataMetalEr(file.get());
    } else {
      GetDataMetalLpr(file.get());
    }
  }
  FinishGrpValues(*grp_, record_count, data_type[t], tag_name[t]);
  readings_in_tag = record_count + readings_beyond_;
  data_type_name = GrpYTitle(data_type[t]);
}

void NembraReader::StreamData(int32_t t, ReadingSink& sink) {
  if (file_type == -1 || t < 0 || t >= tag_count) return;
  cur_tag = t;
  serial_no.clear();
  part_no.clear();
  probe_type_str.clear();
  mloss_unit.clear();
  thickness.clear();
  read_interval.clear();
  start_dt.clear();
  probe_type = 0;
  record_count = 0;
  FileCloser file(OpenFile(FileName));
  if (memory_.empty() && !file.get()) {
    Report("Cannot open file.");
    return;
  }
  sink_ = &sink;
  if (data_type[t] <= 3) {
    GetInfoNembra(file.get());
    GetDataNembra(file.get(), data_type[t] == 0);
  } else {
    GetInfoMetal(file.get());
    if (data_type[t] == 4) {
      GetDataMetalEr(file.get());
    } else {
      GetDataMetalLpr(file.get());
    }
  }
  sink_ = nullptr;
}

void NembraReader::GetInfoNembra(FILE* file) {
  LineReader reader = LinesAt(file, tag_ptr[cur_tag]);
  std::string_view piece;
  // Stopping at the tag's own data marker keeps a tag without a start time from taking the
  // header values of the blocks after it.
  while (reader.offset() < data_ptr[cur_tag] && reader.Next(&piece)) {
    int32_t code = -1;
    std::string value = apParseLine(piece, &code);
    switch (code) {
      case kSerialNumber:
        serial_no = std::move(value);
        break;
      case kPartNumber:
        part_no = std::move(value);
        break;
      case kProbeTypeLine:
        probe_type = apGetProbeType(value);
        probe_type_str = std::move(value);
        break;
      case kMetalLossUnit:
        mloss_unit = std::move(value);
        break;
      case kThickness:
        thickness = std::move(value);
        break;
      case kReadingInterval:
        read_interval = std::move(value);
        break;
      case kStartTime:
        start_dt = std::move(value);
        return;
      case kCurrent:
      case kPotential:
      case kMetalSamples:
        return;
      default:
        break;
    }
  }
}

void NembraReader::GetInfoMetal(FILE* file) {
  LineReader reader = LinesAt(file, tag_ptr[cur_tag]);
  std::string_view piece;
  while (reader.Next(&piece)) {
    int32_t code = -1;
    std::string value = apParseLine(piece, &code);
    switch (code) {
      case kProbeTypeLine:
        probe_type = apGetProbeType(value);
        probe_type_str = std::move(value);
        break;
      case kProbeLife:
        probe_life = DecimalIntOrZero(value);
        thickness = std::to_string(int64_t{probe_life} * (probe_type == 2 ? 4 : 2));
        break;
      case kAlloyUns:
        thickness = std::move(value);
        return;
      case kMetalLossMarker:
      case kCorrosionRate:
      case kCurrent:
      case kPotential:
        return;
      default:
        break;
    }
  }
}

void NembraReader::GetDataNembraEr(FILE* file) {
  GetDataNembra(file, true);
}

void NembraReader::GetDataNembraLpr(FILE* file) {
  GetDataNembra(file, false);
}

void NembraReader::GetDataNembra(FILE* file, bool er) {
  LineReader reader = LinesAt(file, data_ptr[cur_tag]);
  std::string_view piece;
  std::string copy;
  int32_t p = 0;
  // Every reading of a tag converts with the same thickness.
  const double t = NumberOrZero(thickness);
  bool continues = false;  // the piece before ended mid-line
  int64_t line_at = reader.offset();
  while (reader.Next(&piece)) {
    const int64_t at = line_at;
    line_at = reader.offset();
    const bool rest_of_line = continues;
    continues = piece.size() == LineReader::kMaxPiece && piece.back() != '\n';
    std::string_view line = piece;
    // A plain reading line is used where it lies; one with a tab, a NUL or a byte that upper
    // case changes is copied and prepared first.
    const unsigned kind = Classify(piece);
    if ((kind & kNeedsPreparing) != 0) {
      PrepareLine(piece, &copy);
      if (TrimNarrow(copy).empty()) continue;
      if (copy.find("TAG NUMBER") != std::string::npos) break;
      UpperInPlace(&copy);
      line = copy;
    } else {
      if (TrimNarrow(line).empty()) continue;
      if ((kind & kHasUpper) != 0 && line.find("TAG NUMBER") != std::string_view::npos) break;
    }
    if (rest_of_line && sink_) {
      PassOver(at, "the rest of a line longer than 199 characters");
      continue;
    }
    int32_t pos = -1;
    const std::string_view r = NextStr(" ", line, &pos);
    // The date-time takes 19 characters and one separator; a shorter line has no reading.
    if (r.size() < 20) {
      PassOver(at, "no date, time and value");
      continue;
    }
    const std::string_view dt = r.substr(0, 19);
    const std::string_view rest = TrimNarrow(r.substr(20));
    double value = 0.0;
    std::string_view value_text = rest;
    if (er) {
      const std::size_t space = rest.find(' ');
      if (space == std::string_view::npos) {
        PassOver(at, "no field after the resistance ratio");
        continue;
      }
      value_text = TrimNarrow(rest.substr(0, space));
    }
    if (!sink_) {
      value = NumberOrZero(value_text);
      if (er) value = MetalLoss(probe_type, t, value);
      if (Data2Buffer(p, dt, value)) ++p;
      continue;
    }
    const bool number = ParseWholeNumber(value_text, &value);
    double precision = HalfUnit(value_text);
    if (er) {
      const double ratio = value;
      value = MetalLoss(probe_type, t, ratio);
      precision = std::fabs(MetalLoss(probe_type, t, ratio + precision) - value);
    }
    Offer(dt, value, value_text, number, precision, at);
    ++p;
  }
  record_count = p;
}

void NembraReader::GetDataMetalEr(FILE* file) {
  LineReader reader = LinesAt(file, data_ptr[cur_tag]);
  std::string_view piece;
  std::string line;
  std::string when_text;
  int32_t p = 0;
  double v = 0.0;         // carried from line to line: an "N/A" reading keeps the value before it
  bool v_number = false;  // v came from a flag or a number, not from nothing
  double v_precision = 0.0;
  bool first = true;
  int64_t line_at = reader.offset();
  while (reader.Next(&piece)) {
    const int64_t at = line_at;
    line_at = reader.offset();
    PrepareLine(piece, &line);
    if (TrimNarrow(line).empty()) continue;
    if (line.find("Metal Samples") != std::string::npos) break;
    UpperInPlace(&line);
    // Fewer than three fields before the date: not a reading, and it changes nothing.
    int32_t pos = -1;
    const std::string_view a = NextStr(",", line, &pos);
    const std::string_view b = pos < 0 ? std::string_view() : NextStr(",", a, &pos);
    const std::string_view c = pos < 0 ? std::string_view() : NextStr(",", b, &pos);
    if (pos < 0) {
      PassOver(at, "fewer fields than a reading has");
      continue;
    }
    if (!a.empty() && (a[0] == '<' || a[0] == '>')) {
      v = a[0] == '<' ? 0.0 : probe_life;
      v_number = true;
      v_precision = 0.0;
    }
    const std::string_view f3 = FirstField(b);
    if (f3 != "N/A") {
      v_number = ParseWholeNumber(f3, &v);
      v_precision = HalfUnit(f3);
      if (!v_number) v = NumberOrZero(f3);
    }
    int32_t chk = 0;
    CommasToSpaces(c, &when_text);
    const DateTime when = Str2DateTime(when_text, &chk);
    if (chk == 0) {
      PassOver(at, "a date or time that does not convert");
      continue;
    }
    const std::string dt = DateTime2Str(when);
    if (first) {
      start_dt = dt;
      first = false;
    }
    if (sink_) {
      Offer(dt, v, f3, v_number, v_precision, at);
      ++p;
    } else if (Data2Buffer(p, dt, v)) {
      ++p;
    }
  }
  record_count = p;
}

void NembraReader::GetDataMetalLpr(FILE* file) {
  LineReader reader = LinesAt(file, data_ptr[cur_tag]);
  std::string_view piece;
  std::string line;
  std::string when_text;
  int32_t p = 0;
  bool first = true;
  int64_t line_at = reader.offset();
  while (reader.Next(&piece)) {
    const int64_t at = line_at;
    line_at = reader.offset();
    PrepareLine(piece, &line);
    if (TrimNarrow(line).empty()) continue;
    if (line.find("Metal Samples") != std::string::npos) break;
    UpperInPlace(&line);
    int32_t pos = -1;
    const std::string_view a = NextStr(",", line, &pos);
    const std::string_view b = pos < 0 ? std::string_view() : NextStr(",", a, &pos);
    if (pos < 0) {
      PassOver(at, "fewer fields than a reading has");
      continue;
    }
    const std::string_view f2 = FirstField(a);
    double v = 0.0;
    const bool number = ParseWholeNumber(f2, &v);
    if (!number) v = NumberOrZero(f2);
    int32_t chk = 0;
    CommasToSpaces(b, &when_text);
    const DateTime when = Str2DateTime(when_text, &chk);
    if (chk == 0) {
      PassOver(at, "a date or time that does not convert");
      continue;
    }
    const std::string dt = DateTime2Str(when);
    if (first) {
      start_dt = dt;
      first = false;
    }
    if (sink_) {
      Offer(dt, v, f2, number, HalfUnit(f2), at);
      ++p;
    } else if (Data2Buffer(p, dt, v)) {
      ++p;
    }
  }
  record_count = p;
}

double NembraReader::Rsrr2Metalloss(int32_t ptype, double r) const {
  return MetalLoss(ptype, NumberOrZero(thickness), r);
}

double NembraReader::MetalLoss(int32_t ptype, double t, double r) const {
  if (r == 0.0) return 0.0;
  switch (ptype) {
    case 1:
    case 4:
      return t - t / r;
    case 2:
      return (t - t * std::sqrt(2.0) / std::sqrt(r)) / 2.0;
    case 3: {
      const double d = setup_.pi_of_tubular;
      const double x = 4.0 * (d - t) * t / r + (d - 2.0 * t) * (d - 2.0 * t);
      return (d - std::sqrt(x)) / 2.0;
    }
    default:
      return 0.0;
  }
}

bool NembraReader::Data2Buffer(int32_t p, std::string_view dt, double value) {
  if (!grp_ || p < 0) return false;
  if (p >= kGrpCapacity) {
    // No room left: counted, so the screen can say what it does not show.
    DateTime beyond;
    int32_t chk = 1;
    if (!FixedStr2DateTime(dt, &beyond)) Str2DateTime(dt, &chk);
    if (chk != 0) ++readings_beyond_;
    return false;
  }
  DateTime when;
  if (!reading_dates_.Read(dt, &when)) {
    int32_t chk = 0;
    when = Str2DateTime(dt, &chk);
    if (chk == 0) return false;
  }
  // Every later reading is measured from the stored start time: convert it once per text.
  const std::string_view start = FieldText(grp_->start_time);
  if (p > 0 && start != std::string_view(base_text_)) {
    base_text_.assign(start);
    base_value_ = Str2DateTime(start, nullptr);
  }
  if (!StoreGrpSampleAt(*grp_, p, dt, when, p == 0 ? when : base_value_, value)) return false;
  // A reading refused at p leaves p to the next one, which overwrites its time here.
  reading_time.resize(static_cast<std::size_t>(p) + 1);
  reading_time[static_cast<std::size_t>(p)] = when;
  if (p == 0) {
    base_time = when;
    base_text_.assign(FieldText(grp_->start_time));
    base_value_ = when;
  }
  return true;
}

}  // namespace tarn
