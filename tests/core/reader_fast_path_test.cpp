// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's quick paths (mapped indexing that skips letterless text, readings parsed where
// they lie, the fixed date layout) against plain references on generated and random files.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/letter_pieces.h"
#include "analysis/nembra_reader.h"
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
  std::vector<std::string> files = {many, std::string(190, '1') + "TAG NUMBER:A\nCURRENT\n",
                                    std::string(398, '2') + "\nTAG NUMBER:B\nPOTENTIAL", ""};
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
    bool more = true;
    while (more) {
      more = whole.Next(&a, &pa);
      ASSERT_EQ(blocks.Next(&b, &pb, &end), more) << "file " << i << " at " << pa;
      if (more) {
        ASSERT_EQ(std::make_pair(a, pa), std::make_pair(b, pb)) << "file " << i;
        ASSERT_EQ(end, whole.offset());
      }
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

}  // namespace
}  // namespace tarn
