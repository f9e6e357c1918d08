// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's quick paths (mapped indexing that skips letterless text, readings parsed where
// they lie, the fixed date layout, a text read in memory, lines classified in one walk and
// sixteen bytes at a time) against plain references on generated and random files.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/letter_pieces.h"
#include "analysis/line_reader.h"
#include "analysis/nembra_reader.h"
#include "analysis/reader_lines.h"
#include "analysis/token_tables.h"
#include "common/number_text.h"
#include "core/test_util.h"
#include "graph/grp_values.h"

namespace tarn {
namespace {

struct Index {
  int32_t file_type = -1;
  int32_t tag_count = 0;
  std::vector<int64_t> tag_ptr, data_ptr;
  std::vector<std::string> tag_name;
  std::vector<int32_t> data_type;
  bool operator==(const Index&) const = default;
};

Index IndexOf(const NembraReader& r) {
  Index x{r.file_type, r.tag_count, {}, {}, {}, {}};
  for (int32_t i = 0; i < r.tag_count; ++i) {
    x.tag_ptr.push_back(r.tag_ptr[i]);
    x.data_ptr.push_back(r.data_ptr[i]);
    x.tag_name.push_back(r.tag_name[i]);
    x.data_type.push_back(r.data_type[i]);
  }
  return x;
}

// The index rules read straight: fgets with a 200-byte buffer, every line classified.
Index ReferenceIndex(const std::string& path) {
  Index x;
  FILE* f = std::fopen(path.c_str(), "rb");
  char buf[200];
  auto next = [&](std::string_view* line, int64_t* at) {
    *at = ftello(f);
    if (!std::fgets(buf, sizeof buf, f)) return false;
    *line = std::string_view(buf, static_cast<std::size_t>(ftello(f) - *at));
    return true;
  };
  std::string_view line;
  int64_t at = 0;
  int32_t code = -1;
  while (x.file_type == -1 && next(&line, &at)) {
    apParseLine(line, &code);
    if (code == kTagNumber) x.file_type = 0;
    if (code == kMetalSamples) x.file_type = 1;
  }
  if (x.file_type != -1) {
    std::rewind(f);
    const bool nembra = x.file_type == 0;
    std::string name;
    int64_t header = 0;
    while (x.tag_count < kMaxTags && next(&line, &at)) {
      const std::string value = apParseLine(line, &code);
      int32_t type = -1;
      if (nembra) {
        if (code == kTagNumber) header = at, name = value;
        if (code == kRsRr) type = 0;
        if (code == kCorRate) type = 1;
        if (code == kCurrent) type = 2;
        if (code == kPotential) type = 3;
      } else {
        if (code == kProbeTypeLine) header = at;
        if (code == kProbeId) name = value;
        if (code >= kMetalLossMarker && code <= kPotential) type = code - kMetalLossMarker + 4;
      }
      if (type < 0) continue;
      x.tag_ptr.push_back(header);
      x.tag_name.push_back(name);
      x.data_type.push_back(type);
      x.data_ptr.push_back(ftello(f));
      ++x.tag_count;
    }
  }
  std::fclose(f);
  return x;
}

// Lines of both formats with mixed case, tabs, CRs, NULs, high bytes, long and letterless runs.
std::string RandomFile(std::mt19937& rng) {
  static const char* const kLines[] = {
      "TAG NUMBER : P-%d",
      "tag\tnumber: p%d",
      "Serial Number: %d",
      "PROBE TYPE : flush",
      "START TIME : 01/02/2020 10:%d",
      "INDEX RS_RR RS",
      "cor rate",
      "CURRENT (uA)",
      "Potential",
      "Metal Samples MS3500E",
      "Probe ID: x%d",
      "Probe Life: %d",
      "Metal Loss(mils)",
      "Corrosion Rate",
      "Alloy (UNS): 1",
      "%d 01/02/2020 10:20:30 1.25 7",
      "%d,<,N/A,01/02/2020,10:%d",
      "\xe9\xe0\xff %d",
      "",
      " \t ",
  };
  std::uniform_int_distribution<int> pick(0, std::size(kLines) - 1), num(0, 999), len(0, 450);
  std::string out;
  const int lines = std::uniform_int_distribution<int>(0, 400)(rng);
  char buf[128];
  for (int i = 0; i < lines; ++i) {
    const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
    if (kind == 0) {
      // A long line: digits with a keyword or stray bytes somewhere, so pieces split it.
      std::string l(static_cast<std::size_t>(len(rng)), '7');
      if (!l.empty()) {
        const char* word = num(rng) % 2 ? "RS_RR" : "tag number:Q";
        l.insert(static_cast<std::size_t>(num(rng)) % l.size(), word);
        if (num(rng) % 3 == 0) l[static_cast<std::size_t>(num(rng)) % l.size()] = '\0';
      }
      out += l;
    } else if (kind == 1) {
      for (int k = len(rng) / 8; k > 0; --k) out += static_cast<char>(rng());
    } else {
      std::snprintf(buf, sizeof buf, kLines[pick(rng)], num(rng), num(rng));
      out += buf;
    }
    if (num(rng) % 11 == 0) out += '\r';
    if (i + 1 < lines || num(rng) % 2) out += '\n';
  }
  return out;
}

TEST(ReaderFastPath, OpenIndexesLikeTheLineByLineReference) {
  testing::TempDir dir;
  std::mt19937 rng(19);
  auto grp = std::make_unique<_grp_values_>();
  _basic_set_ setup{};
  NembraReader reader(*grp, setup, nullptr);
  // Fixed shapes first: 101 tags, a keyword straddling a 199-byte cut, an empty file.
  std::string many;
  for (int t = 0; t < 101; ++t) many += "TAG NUMBER:T" + std::to_string(t) + "\nRS_RR\n1 2\n";
  // More keyword lines before the first recognised one than Open keeps while it looks.
  std::string orphans;
  for (int i = 0; i < 5000; ++i) orphans += i % 2 ? "Current\n" : "probe id: o\n";
  std::vector<std::string> files = {many,
                                    std::string(190, '1') + "TAG NUMBER:A\nCURRENT\n",
                                    std::string(398, '2') + "\nTAG NUMBER:B\nPOTENTIAL",
                                    "",
                                    orphans + "TAG NUMBER:C\nRS_RR\n1 2\n",
                                    orphans + "METAL SAMPLES\nprobe id: m\nCURRENT\n"};
  for (int i = 0; i < 150; ++i) files.push_back(RandomFile(rng));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string path = dir.file("f" + std::to_string(i) + ".nid");
    testing::WriteAll(path, files[i]);
    reader.Open(path);
    const Index want = ReferenceIndex(path);
    ASSERT_EQ(IndexOf(reader), want) << "file " << i;
    EXPECT_EQ(reader.is_data, want.tag_count > 0) << "file " << i;
    // Small blocks put many cuts inside long lines and next to keywords.
    FILE* f = std::fopen(path.c_str(), "rb");
    FileLetterPieces blocks(f, 0, nullptr, 400 + i % 300);
    LetterPieces whole(files[i], nullptr);
    std::string_view a, b;
    int64_t pa = 0, pb = 0, end = 0;
    // Twice: the second time after a rewind from part-way (or from the end) of the first.
    for (int pass = 0; pass < 2; ++pass) {
      bool more = true;
      for (int n = 0; more && (pass == 1 || n < static_cast<int>(i % 7) * 5 + 1); ++n) {
        more = whole.Next(&a, &pa);
        ASSERT_EQ(blocks.Next(&b, &pb, &end), more) << "file " << i << " at " << pa;
        if (more) {
          ASSERT_EQ(std::make_pair(a, pa), std::make_pair(b, pb)) << "file " << i;
          ASSERT_EQ(end, whole.offset());
        }
      }
      whole.Rewind();
      blocks.Rewind();
    }
    std::fclose(f);
  }
}

TEST(ReaderFastPath, FixedDateLayoutAgreesWithTheGeneralConversion) {
  std::mt19937 rng(7);
  const std::string alphabet = "0123456789/:- \t\xa0x+";
  const std::vector<std::string> seeds = {"01/02/2020 10:20:30", "29/02/2024 23:59:59",
                                          "29/02/2023 00:00:00", "31/12/9999 23:59:59",
                                          "00/01/0001 00:00:00", "01/13/2020 24:00:00"};
  int fast = 0;
  FixedDateTimeReader dates;
  for (int i = 0; i < 200000; ++i) {
    std::string t = seeds[static_cast<std::size_t>(i) % seeds.size()];
    for (int k = static_cast<int>(rng() % 3); k > 0; --k) {
      const std::size_t at = rng() % t.size();
      const char c = alphabet[rng() % alphabet.size()];
      if (rng() % 4 == 0) {
        t.insert(at, 1, c);
      } else {
        t[at] = c;
      }
    }
    if (i % 5 == 0) {  // plain digits everywhere: any day, month and time
      for (std::size_t k : {0, 1, 3, 4, 6, 7, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (k < t.size()) t[k] = static_cast<char>('0' + rng() % 10);
      }
    }
    int32_t chk = 0;
    const DateTime general = Str2DateTime(t, &chk);
    DateTime quick;
    const bool fixed = FixedStr2DateTime(t, &quick);
    if (fixed) {
      ++fast;
      ASSERT_EQ(chk, 1) << t;
      ASSERT_EQ(quick.ticks, general.ticks) << t;
    }
    // The reader that keeps the last date, after the seed (same date unless the date changed).
    DateTime kept;
    ASSERT_EQ(dates.Read(t, &kept), fixed) << t;
    if (fixed) {
      ASSERT_EQ(kept.ticks, quick.ticks) << t;
    }
    if (i % 3 == 0) dates.Read(seeds[static_cast<std::size_t>(i + 1) % seeds.size()], &kept);
  }
  EXPECT_GT(fast, 20000);
}

// Nembra readings stored with the general conversions, line by line, as the storing rule reads.
TEST(ReaderFastPath, GetDataStoresWhatTheGeneralConversionsStore) {
  testing::TempDir dir;
  std::mt19937 rng(3);
  auto grp = std::make_unique<_grp_values_>();
  auto want = std::make_unique<_grp_values_>();
  _basic_set_ setup{};
  NembraReader reader(*grp, setup, nullptr);
  const std::vector<std::string> odd = {"\t", "e", "\xa0", std::string(1, '\0'), "-", ":", "x"};
  for (int file = 0; file < 20; ++file) {
    const bool er = file % 2 == 0;
    std::string text = std::string("TAG NUMBER: A\nPROBE TYPE: FLUSH\nTHICKNESS: 10\n") +
                       (er ? "RS_RR\n" : "COR RATE\n");
    std::vector<std::string> lines;
    for (int i = 0; i < 500; ++i) {
      char buf[96];
      const int minute = i * 2 + static_cast<int>(rng() % 3) - 1;
      std::snprintf(buf, sizeof buf, "%d %02d/03/2021 %02d:%02d:%02d %.3f %d", i, 1 + minute / 1440,
                    minute / 60 % 24, minute % 60, static_cast<int>(rng() % 60),
                    1.0 + static_cast<double>(rng() % 1000) / 997.0, i % 7);
      std::string line = buf;
      if (rng() % 8 == 0) line.insert(rng() % line.size(), odd[rng() % odd.size()]);
      if (rng() % 20 == 0) line = "  ";
      text += line + "\n";
      lines.push_back(line);
    }
    const std::string path = dir.file("r.nid");
    testing::WriteAll(path, text + "tag number x\nTAG NUMBER: B\nRS_RR\n");
    reader.Open(path);
    reader.FileName = path;
    reader.GetData(0);

    int32_t p = 0;
    for (std::string line : lines) {
      line = line.substr(0, line.find('\0'));
      for (char& c : line) c = c == '\t' ? ' ' : c;
      int32_t pos = -1;
      const std::string r = GetNextStr(" ", line, &pos);
      if (TrimNarrow(line).empty() || r.size() < 20) continue;
      const std::string rest(TrimNarrow(std::string_view(r).substr(20)));
      double value = 0.0;
      if (er) {
        if (rest.find(' ') == std::string::npos) continue;
        ParseWholeNumber(TrimNarrow(rest.substr(0, rest.find(' '))), &value);
        value = reader.Rsrr2Metalloss(1, value);
      } else {
        ParseWholeNumber(rest, &value);
      }
      if (StoreGrpSample(*want, p, r.substr(0, 19), value)) ++p;
    }
    ASSERT_EQ(reader.record_count, p) << "file " << file;
    EXPECT_STREQ(grp->start_time, want->start_time);
    for (int32_t i = 0; i < p; ++i) {
      ASSERT_EQ(grp->elapsed[i], want->elapsed[i]) << "file " << file << " reading " << i;
      ASSERT_EQ(grp->value[i], want->value[i]) << "file " << file << " reading " << i;
    }
  }
}

// Every piece and offset of a line reader, from `offset` on.
std::vector<std::pair<std::string, int64_t>> Pieces(LineReader reader) {
  std::vector<std::pair<std::string, int64_t>> out;
  std::string_view piece;
  while (reader.Next(&piece)) out.emplace_back(std::string(piece), reader.offset());
  out.emplace_back("end", reader.offset());
  return out;
}

// A text in memory is cut into the same pieces, with the same offsets, as the file holding it:
// line ends of every kind, a last line without one, NULs, lines longer than a piece and than
// the smallest block, and offsets before, inside and past the text.
TEST(ReaderFastPath, LineReaderOnATextCutsAsOnItsFile) {
  testing::TempDir dir;
  std::mt19937 rng(5);
  std::vector<std::string> texts = {
      "a",
      "a\n",
      "\n\n\r\n\r\r",
      std::string("x\0y\nz\0", 6),
      std::string(199, 'L') + "\n" + std::string(200, 'M') + "\r\n" + std::string(198, 'N'),
      std::string(3000, 'Q') + "\nend",
      "one\r\ntwo\r\nthree",
  };
  for (int i = 0; i < 20; ++i) {
    std::string t;
    for (int n = static_cast<int>(rng() % 40); n > 0; --n) {
      const char parts[][4] = {"\n", "\r\n", "\r", "a", "7", " ", "\t", ""};
      const std::size_t k = rng() % 8;
      t += k == 7 ? std::string(rng() % 500, 'w') : std::string(parts[k]);
      if (rng() % 9 == 0) t += '\0';
    }
    texts.push_back(t);
  }
  const std::string path = dir.file("lines.nid");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string& text = texts[i];
    testing::WriteAll(path, text);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    const int64_t size = static_cast<int64_t>(text.size());
    for (int64_t offset :
         {int64_t{-1}, int64_t{0}, int64_t{1}, size / 2, size - 1, size, size + 3}) {
      const auto want = Pieces(LineReader(f, offset, 0));  // the smallest block
      ASSERT_EQ(Pieces(LineReader(text, offset)), want) << "text " << i << " from " << offset;
    }
    std::fclose(f);
  }
}

struct Seen {
  std::vector<std::string> lines;
};

// Writes down everything StreamData hands over.
class RecordingSink : public ReadingSink {
 public:
  explicit RecordingSink(Seen* seen) : seen_(seen) {}
  void Reading(std::string_view dt, double value, const ReadingFacts& facts) override {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%.*s %.17g %d %.17g %lld ", static_cast<int>(dt.size()),
                  dt.data(), value, facts.number ? 1 : 0, facts.precision,
                  static_cast<long long>(facts.line_at));
    seen_->lines.push_back(buf + std::string(facts.value_text));
  }
  void PassedOver(int64_t line_at, std::string_view why) override {
    seen_->lines.push_back(std::to_string(line_at) + " " + std::string(why));
  }

 private:
  Seen* seen_;
};

// What a reader found in a file: the index, then for every tag its header values, its readings
// as the graph keeps them and as they are streamed.
Seen ReadEverything(NembraReader& reader, const _grp_values_& grp, const std::string& path) {
  Seen seen;
  reader.Open(path);
  reader.FileName = path;
  const Index index = IndexOf(reader);
  seen.lines.push_back(std::to_string(index.file_type) + " " + std::to_string(index.tag_count) +
                       " " + std::to_string(reader.tags_in_file));
  for (int32_t t = 0; t < reader.tag_count; ++t) {
    seen.lines.push_back(std::to_string(index.tag_ptr[t]) + " " +
                         std::to_string(index.data_ptr[t]) + " " + index.tag_name[t] + " " +
                         std::to_string(index.data_type[t]));
    reader.GetData(t);
    seen.lines.push_back(reader.serial_no + "|" + reader.part_no + "|" + reader.probe_type_str +
                         "|" + std::to_string(reader.probe_type) + "|" + reader.mloss_unit + "|" +
                         reader.thickness + "|" + reader.read_interval + "|" + reader.start_dt +
                         "|" + std::to_string(reader.probe_life) + "|" +
                         std::to_string(reader.record_count) + "|" +
                         std::to_string(reader.readings_in_tag) + "|" + grp.start_time);
    for (int32_t i = 0; i < reader.record_count; ++i) {
      char buf[96];
      std::snprintf(buf, sizeof buf, "%d %.17g %lld", grp.elapsed[i], grp.value[i],
                    static_cast<long long>(reader.reading_time[static_cast<std::size_t>(i)].ticks));
      seen.lines.push_back(buf);
    }
    RecordingSink sink(&seen);
    reader.StreamData(t, sink);
  }
  return seen;
}

// Both formats, every tag: a text given in memory reads exactly as the same bytes in a file.
TEST(ReaderFastPath, TextInMemoryReadsAsTheFile) {
  testing::TempDir dir;
  std::mt19937 rng(23);
  // A data set each: what a tag without readings leaves in it is what the tag before left.
  auto grp = std::make_unique<_grp_values_>();
  auto text_grp = std::make_unique<_grp_values_>();
  _basic_set_ setup{};
  setup.pi_of_tubular = 312.5;
  NembraReader from_file(*grp, setup, nullptr);
  NembraReader from_text(*text_grp, setup, nullptr);
  from_file.index_all = from_text.index_all = true;
  const std::string metal =
      "Metal Samples MS3500E\r\nProbe ID: W1\r\nProbe Type: ER Wire Loop 40\r\nProbe Life: 10\r\n"
      "Metal Loss(mils)\r\n1,<,N/A,01/02/2020,10:20\r\n2,3.5,7.25,01/02/2020,10:50\r\n"
      "3,4,x,31/02/2020,10:00\r\nProbe ID: L2\r\nProbe Type: LPR\r\nCorrosion Rate\r\n"
      "1,2.5,01/03/2020,11:00\r\n2,2.75,01/03/2020,11:30";
  std::string long_reading = "TAG NUMBER: T\nPROBE TYPE: FLUSH\nTHICKNESS: 10\nRS_RR\n";
  long_reading += "1 01/02/2020 10:20:30 1.25 7\n" + std::string(70000, '9') + "\n";
  long_reading += "2 01/02/2020 10:50:30 1.5 7";
  std::vector<std::string> texts = {metal, long_reading, "\n", std::string("\0", 1)};
  for (int i = 0; i < 60; ++i) texts.push_back(RandomFile(rng));
  const std::string path = dir.file("same.nid");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    testing::WriteAll(path, texts[i]);
    const Seen want = ReadEverything(from_file, *grp, path);
    from_text.SetMemoryFile(texts[i]);
    const Seen got = ReadEverything(from_text, *text_grp, path + ".not-there");
    for (std::size_t k = 0; k < std::min(got.lines.size(), want.lines.size()); ++k) {
      ASSERT_EQ(got.lines[k], want.lines[k]) << "text " << i << " line " << k;
    }
    ASSERT_EQ(got.lines.size(), want.lines.size()) << "text " << i;
  }
}

// The sixteen-byte paths (upper case, letters, line kinds) against the rules byte by byte, on
// texts of every length around the block size and every byte value.
TEST(ReaderFastPath, BlockWiseByteRulesAgreeWithTheRulesByByte) {
  std::mt19937 rng(11);
  const auto upper_by_byte = [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\t') return ' ';
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
      return static_cast<char>(c - 0x20);
    }
    if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<char>(c - 0x10);
    if (c == 0xFF) return static_cast<char>(0x9F);
    return ch;
  };
  const auto letter = [](char ch) {
    const auto c = static_cast<unsigned char>(ch | 0x20);
    return c >= 'a' && c <= 'z';
  };
  std::string all(256, ' ');
  for (int c = 0; c < 256; ++c) all[static_cast<std::size_t>(c)] = static_cast<char>(c);
  std::vector<std::string> texts = {all};
  for (int n = 0; n < 3000; ++n) {
    std::string t(rng() % 70, ' ');
    const int kind = n % 4;  // all bytes; digits and blanks; capitals too; one odd byte
    for (char& c : t) {
      c = kind == 0 ? static_cast<char>(rng()) : "0123456789 .:/"[rng() % 14];
      if (kind == 2 && rng() % 5 == 0) c = static_cast<char>('A' + rng() % 26);
    }
    if (kind == 3 && !t.empty()) t[rng() % t.size()] = static_cast<char>(rng());
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    std::string want = t;
    for (char& c : want) c = upper_by_byte(c);
    std::string got(t.size(), '?');
    UpperSpacedCopy(t, got.data());
    ASSERT_EQ(got, want) << ::testing::PrintToString(t);
    std::string in_place = t;
    UpperSpacedCopy(in_place, in_place.data());
    ASSERT_EQ(in_place, want);

    const char* first = nullptr;
    unsigned kind = 0;
    bool odd = false;
    for (const char& c : t) {
      if (!first && letter(c)) first = &c;
      const auto u = static_cast<unsigned char>(c);
      odd |= (u >= 'a' && u <= 'z') || u == '\t' || u == 0 || u >= 0x80;
      if (u >= 'A' && u <= 'Z') kind = kHasUpper;
    }
    ASSERT_EQ(FindAsciiLetter(t.data(), t.data() + t.size()), first) << ::testing::PrintToString(t);
    ASSERT_EQ(Classify(t), odd ? kNeedsPreparing : kind) << ::testing::PrintToString(t);
  }
}

// apParseLine walks a line once for all three tables: it must find what searching each table
// in turn, keyword by keyword, finds.
TEST(ReaderFastPath, ParseLineFindsWhatATableByTableSearchFinds) {
  std::mt19937 rng(13);
  std::vector<std::string> words;
  for (const _token_tables_* table : {vInfoValue, vMetalEtc, vErLpr}) {
    for (const _token_tables_* k = table; k->code != -1; ++k) words.push_back(k->keyword);
  }
  const auto reference = [](std::string_view line, int32_t* code) -> std::string {
    *code = -1;
    std::string t(TrimNarrow(line.substr(0, line.find('\0'))));
    for (char& c : t) c = c == '\t' ? ' ' : UpperNarrow(c);
    for (const _token_tables_* table : {vInfoValue, vMetalEtc, vErLpr}) {
      for (const _token_tables_* k = table; k->code != -1; ++k) {
        if (t.find(k->keyword) == std::string::npos) continue;
        *code = k->code;
        if (table != vInfoValue) return k->keyword;
        const std::size_t colon = t.find(':');
        return colon == std::string::npos ? t : std::string(TrimNarrow(t.substr(colon + 1)));
      }
    }
    return {};
  };
  for (int n = 0; n < 20000; ++n) {
    std::string line;
    for (int parts = static_cast<int>(rng() % 6); parts > 0; --parts) {
      std::string w = words[rng() % words.size()];
      switch (rng() % 6) {
        case 0:  // cut short, or run on into the next word
          w = w.substr(0, rng() % w.size());
          break;
        case 1:
          for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          break;
        case 2:
          if (const std::size_t sp = w.find(' '); sp != std::string::npos) w[sp] = '\t';
          break;
        case 3:
          w = std::string(1, "\xe9\xff:\0 \xa0"[rng() % 6]) + w;
          break;
        default:
          break;
      }
      line += w;
      if (rng() % 2) line += std::string(rng() % (n % 50 == 0 ? 300 : 12), "x :"[rng() % 3]);
    }
    int32_t code = 0;
    int32_t want_code = 0;
    const std::string want = reference(line, &want_code);
    ASSERT_EQ(apParseLine(line, &code), want) << ::testing::PrintToString(line);
    ASSERT_EQ(code, want_code) << ::testing::PrintToString(line);
  }
}

}  // namespace
}  // namespace tarn
