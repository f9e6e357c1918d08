// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/grp_values.h"

#include <cmath>
#include <limits>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"

namespace tarn {

namespace {

const char* const kYTitles[8] = {
    "Metal Loss (mils)", "Corrosion Rate (mpy)", "Current (uA)", "Potential (mV)",
    "Metal Loss (mils)", "Corrosion Rate (mpy)", "Current (uA)", "Potential (mV)",
};

}  // namespace

const char* GrpYTitle(int32_t data_type) {
  if (data_type < 0 || data_type > 7) return "";
  return kYTitles[data_type];
}

bool StoreGrpSample(_grp_values_& grp, int32_t p, std::string_view time_text, double value) {
  if (p < 0 || p >= kGrpCapacity) return false;
  int32_t chk = 0;
  const DateTime when = Str2DateTime(time_text, &chk);
  if (chk == 0) return false;
  const DateTime base = p == 0 ? when : Str2DateTime(FieldText(grp.start_time), nullptr);
  return StoreGrpSampleAt(grp, p, time_text, when, base, value);
}

bool StoreGrpSampleAt(_grp_values_& grp, int32_t p, std::string_view time_text, DateTime when,
                      DateTime base, double value) {
  if (p < 0 || p >= kGrpCapacity) return false;
  if (p == 0) {
    // A text too long for the field is stored in its canonical form, which reads back to the
    // same second; cutting it could change or break its meaning.
    if (time_text.size() < sizeof(grp.start_time)) {
      CopyToField(grp.start_time, time_text);
    } else {
      CopyToField(grp.start_time, DateTime2Str(when));
    }
    grp.elapsed[0] = 0;
  } else {
    const double minutes = std::trunc(DateTime2Interval(base, when));
    if (!(minutes > static_cast<double>(grp.elapsed[p - 1]))) return false;
    if (minutes > static_cast<double>(std::numeric_limits<int32_t>::max())) return false;
    grp.elapsed[p] = static_cast<int32_t>(minutes);
  }
  grp.value[p] = value;
  return true;
}

void FinishGrpValues(_grp_values_& grp, int32_t count, int32_t data_type, std::string_view tag) {
  if (count < 0) count = 0;
  if (count > kGrpCapacity) count = kGrpCapacity;
  grp.count = count;
  grp.data_type = data_type;
  CopyToField(grp.tag, tag);
  CopyToField(grp.y_title, GrpYTitle(data_type));
}

std::string GetCrateStr(const _grp_values_& grp, int32_t sp, int32_t ep) {
  if (grp.data_type != 0 && grp.data_type != 4) return {};
  if (sp < 0 || ep >= grp.count || ep >= kGrpCapacity) return {};
  if (sp >= ep) return {};
  const double hours = static_cast<double>(grp.elapsed[ep] - grp.elapsed[sp]) / 60.0;
  const double rate = (grp.value[ep] - grp.value[sp]) / hours * 8760.0;
  return FormatPattern(rate, 4);
}

}  // namespace tarn
