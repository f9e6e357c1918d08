// SPDX-License-Identifier: GPL-3.0-or-later
// What the history commands of tarn-export share: opening the history the command names, the
// rate window, dates and CSV lines as every history command writes them, and common options.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/export_common.h"
#include "history/history_store.h"

namespace tarn {

// dd/MM/yyyy with an optional time; a date alone means its first (or, for `to`, last) second.
bool ParseWhen(const std::string& text, bool end_of_day, HistoryTime* out);
std::string TimeText(HistoryTime t);
std::string DateText(HistoryTime t);
// "ALARM", "WARNING", "OK", or "-" for a series no limit applies to.
const char* StateWord(int32_t data_type, ProbeState state);
// A CSV line (CR LF), each field quoted when it holds a comma or a quote.
std::string CsvLine(const std::vector<std::string>& fields);
// The fields joined by tabs.
std::string TabLine(const std::vector<std::string>& fields);
// The history of --history, else the settings file's, else the data folder's.
std::unique_ptr<HistoryStore> OpenFromArgs(const ParsedArgs& args, std::string* error);
// --window DAYS or "all"; without it the window the Probes tab keeps in the settings file.
int32_t RateWindow(const ParsedArgs& args);

// Every option below may be given again, the last one counting (--probe of report: each
// one counts), as they always could.
inline constexpr OptionDecl kHistoryOption = {
    .name = "--history",
    .value = "PATH",
    .repeatable = true,
    .help = "the history: a file or a postgresql:// URI (see 'tarn-export history --help')"};
inline constexpr OptionDecl kCsvOption = {
    .name = "--csv", .value = "OUT", .repeatable = true, .help = "writes CSV text to OUT"};
inline constexpr OptionDecl kWindowOption = {
    .name = "--window",
    .value = "DAYS|all",
    .repeatable = true,
    .kind = ValueKind::kWhole,
    .low = 1,
    .high = 100000,
    .word = "all",
    .refusal = "--window needs a whole number of days, at least 1, or 'all'",
    .help = "the rate's span back from each probe's last reading; all: the whole history"};
inline constexpr double kMaxId = 999999999999999999.0;
inline constexpr OptionDecl kCouponOption = {
    .name = "--coupon",
    .value = "ID",
    .repeatable = true,
    .kind = ValueKind::kWhole,
    .low = 0,
    .high = kMaxId,
    .refusal = "--coupon needs a whole number",
    .help = "the coupon, by the id 'history coupons' lists"};
inline constexpr OptionDecl kProbeIdOption = {
    .name = "--probe",
    .value = "ID",
    .repeatable = true,
    .kind = ValueKind::kWhole,
    .low = 0,
    .high = kMaxId,
    .refusal = "--probe needs a whole number",
    .help = "the probe, by the id 'history probes' lists"};

}  // namespace tarn
