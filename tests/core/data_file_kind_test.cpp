// SPDX-License-Identifier: GPL-3.0-or-later
// Routing of files handed in from outside: the coupon signature decides, not the name.
#include "coupon/data_file_kind.h"

#include <gtest/gtest.h>

#include <string>

#include "core/test_util.h"

namespace tarn {
namespace {

TEST(SniffDataFile, SignatureDecides) {
  testing::TempDir dir;
  const struct {
    const char* name;
    std::string bytes;  // "-": the file is not created
    DataFileKind kind;
  } cases[] = {
      {"coupons.dat", std::string("C_32_V_1_0\0\0\0\0", 14), DataFileKind::kCoupon},
      {"bare.CPN", "C_32_V_1_0", DataFileKind::kCoupon},
      {"short.CPN", "C_32_V_1_", DataFileKind::kInstrument},
      {"other.CPN", "C_32_V_2_0\0\0\0\0", DataFileKind::kInstrument},
      {"probe.nid", "TAG NUMBER,ER-1\n", DataFileKind::kInstrument},
      {"empty.CPN", "", DataFileKind::kInstrument},
      {"missing.CPN", "-", DataFileKind::kInstrument},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file(c.name);
    if (c.bytes != "-") testing::WriteAll(path, c.bytes);
    EXPECT_EQ(SniffDataFile(path), c.kind) << c.name;
  }
}

}  // namespace
}  // namespace tarn
