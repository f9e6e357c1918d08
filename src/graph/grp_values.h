// SPDX-License-Identifier: GPL-3.0-or-later
// The one series of readings handed from the data file reader to the graph, with the storing
// rule (one-minute steps) and the end-point corrosion rate.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/date_time.h"

namespace tarn {

inline constexpr int32_t kGrpCapacity = 65535;

struct _grp_values_ {
  int32_t count;
  int32_t data_type;
  char tag[50];
  char y_title[50];
  char start_time[20];
  double value[65535];
  int32_t elapsed[65536];
};

// The Y title stored for a data type 0-7 ("Metal Loss (mils)", ...); empty for others.
const char* GrpYTitle(int32_t data_type);

// Offers the reading at position p (the number accepted so far). Rejects (false, nothing
// changed) a time text that does not convert, a time not at least one whole minute after the
// previous stored sample, and any p at or beyond the capacity.
bool StoreGrpSample(_grp_values_& grp, int32_t p, std::string_view time_text, double value);
// The same rule for a caller that has converted the texts already: `when` is the conversion of
// time_text (which did convert), `base` that of the stored start_time (used when p > 0).
bool StoreGrpSampleAt(_grp_values_& grp, int32_t p, std::string_view time_text, DateTime when,
                      DateTime base, double value);
// After the last reading: count, data type, its Y title and the tag name (cut to 49 bytes).
void FinishGrpValues(_grp_values_& grp, int32_t count, int32_t data_type, std::string_view tag);

// Corrosion rate in mils per year between samples sp and ep ("0.0000", full stop); empty when
// the series has no rate (types other than 0 and 4) or the indexes do not allow one.
std::string GetCrateStr(const _grp_values_& grp, int32_t sp, int32_t ep);

}  // namespace tarn
