// SPDX-License-Identifier: GPL-3.0-or-later
// Instrument files made up for history tests and benchmarks: one tag's text in either format,
// its readings at fixed steps from a start second.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "common/date_time.h"

namespace tarn::testing {

inline std::string SecondsText(int64_t seconds) {
  return DateTime2Str(DateTime{seconds * kTicksPerSecond});
}

// Seconds since 01/01/0001 of a calendar time.
inline int64_t At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  DateTime dt;
  MakeDateTime(year, month, day, hour, minute, second, &dt);
  return dt.ticks / kTicksPerSecond;
}

inline std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return buf;
}

// A Nembra LPR corrosion-rate tag (or, with `er`, an ER tag of a flush probe of thickness 10
// whose values are resistance ratios); reading i at start + i * step with value(i).
inline std::string NembraTag(const std::string& tag, const std::string& serial, bool er,
                             int64_t start, int count, int64_t step,
                             const std::function<double(int)>& value) {
  std::string s = "TAG NUMBER      : " + tag + "\nSERIAL NUMBER   : " + serial +
                  "\nPART NUMBER     : P-1\nPROBE TYPE      : " + (er ? "FLUSH" : "PR 3") +
                  "\nMETAL LOSS UNIT : MILS\nTHICKNESS       : 10\nREADING INTERVAL: 1 MIN\n"
                  "START TIME      : " +
                  SecondsText(start) + "\n" +
                  (er ? "  NO. DATE TIME RS_RR TEMP\n" : "  NO. COR RATE\n");
  s.reserve(s.size() + static_cast<std::size_t>(count) * 40);
  for (int i = 0; i < count; ++i) {
    s += std::to_string(i + 1) + " " + SecondsText(start + i * step) + " " + Number(value(i)) +
         (er ? " 25.0\n" : "\n");
  }
  return s;
}

// A Metal Samples ER tag with metal loss values (probe life 5) or an LPR corrosion-rate tag.
inline std::string MetalSamplesTag(const std::string& id, bool er, int64_t start, int count,
                                   int64_t step, const std::function<double(int)>& value) {
  std::string s = std::string("Metal Samples MS3500") + (er ? "E" : "L") +
                  "\nProbe Type: Flush\nProbe ID: " + id + "\n" +
                  (er ? "Probe Life: 5\nReading,Flag,Metal Loss(mils),Date,Time\n"
                      : "Alloy (UNS): C10200\nReading,Corrosion Rate (mpy),Date,Time\n");
  for (int i = 0; i < count; ++i) {
    std::string when = SecondsText(start + i * step);
    when[10] = ',';
    s += std::to_string(i + 1) + (er ? ",x," : ",") + Number(value(i)) + "," + when + "\n";
  }
  return s;
}

}  // namespace tarn::testing
