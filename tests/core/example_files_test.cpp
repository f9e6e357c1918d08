// SPDX-License-Identifier: GPL-3.0-or-later
// The example instrument files shipped in examples/ read as the analysis tab reads them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/nembra_reader.h"
#include "graph/grp_values.h"

namespace tarn {
namespace {

std::string ExamplePath(const char* name) {
  const char* src = std::getenv("TARN_SOURCE_DIR");
  // Run by hand, the source tree is the one the test was built from.
  const std::string root = src != nullptr && *src != '\0' ? std::string(src) : TARN_TEST_SOURCE_DIR;
  return root + "/examples/" + name;
}

struct TagExpect {
  const char* name;
  int32_t data_type;
  int32_t readings;
};

void ExpectTags(const char* file, const std::vector<TagExpect>& tags, const _basic_set_& setup) {
  _grp_values_ grp{};
  NembraReader reader(grp, setup, nullptr);
  const std::string path = ExamplePath(file);
  reader.Open(path);
  reader.FileName = path;
  ASSERT_EQ(reader.file_type, 0) << file;
  ASSERT_EQ(reader.tag_count, static_cast<int32_t>(tags.size())) << file;
  for (int32_t t = 0; t < reader.tag_count; ++t) {
    const TagExpect& e = tags[static_cast<std::size_t>(t)];
    EXPECT_EQ(reader.tag_name[t], e.name);
    EXPECT_EQ(reader.data_type[t], e.data_type) << e.name;
    reader.cur_tag = t;
    reader.GetData(t);
    EXPECT_EQ(reader.record_count, e.readings) << e.name;
    EXPECT_GT(reader.probe_type, 0) << e.name;
    EXPECT_FALSE(reader.start_dt.empty()) << e.name;
    if (e.data_type == 0) {
      // A probe in service: small positive metal loss that grows over the run.
      EXPECT_GT(grp.value[0], 0.0) << e.name;
      EXPECT_LT(grp.value[0], 1.0) << e.name;
      EXPECT_GT(grp.value[e.readings - 1], grp.value[0]) << e.name;
    }
  }
}

TEST(ExampleFiles, ErDownloadHoldsFourProbesOfEveryMetalLossKind) {
  _basic_set_ setup{};
  setup.pi_of_tubular = 312.5;
  ExpectTags(
      "er_download.nid",
      {{"CDU-101-ER", 0, 95}, {"HX-204-WL", 0, 90}, {"OVHD-310-TB", 0, 100}, {"RUN-12-TL", 0, 85}},
      setup);
}

TEST(ExampleFiles, LprDownloadHoldsRateCurrentAndPotential) {
  ExpectTags("lpr_download.nid",
             {{"CW-501-LPR", 1, 120}, {"CW-502-LPR", 2, 100}, {"CT-118-LPR", 3, 110}},
             _basic_set_{});
}

}  // namespace
}  // namespace tarn
