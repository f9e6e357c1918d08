// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export coupons: the coupon screen's Export of a coupon data file, without the screen.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "app/export_commands.h"
#include "common/user_paths.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_store.h"
#include "coupon/coupon_units.h"
#include "settings/settings.h"

namespace tarn {

namespace {

// Reports each failure as one line naming the file it concerns.
class StderrNotifier : public Notifier {
 public:
  explicit StderrNotifier(std::string path) : path_(std::move(path)) {}
  void Error(std::string_view text) override {
    std::fprintf(stderr, "tarn-export: %s: %.*s\n", path_.c_str(), static_cast<int>(text.size()),
                 text.data());
  }

 private:
  std::string path_;
};

bool ParseUnitDigits(std::string_view digits, _select_unit_ (&unit)[kUnitCount]) {
  if (digits.size() != kUnitCount) return false;
  for (int k = 0; k < kUnitCount; ++k) {
    if (digits[k] != '0' && digits[k] != '1') return false;
  }
  for (int k = 0; k < kUnitCount; ++k) unit[k].sel = digits[k] - '0';
  return true;
}

int RunCoupons(const ParsedArgs& args) {
  const std::string* csv = args.Text("--csv");
  const std::string* xls = args.Text("--xls");
  const std::string* xlsx = args.Text("--xlsx");
  if ((csv != nullptr) + (xls != nullptr) + (xlsx != nullptr) != 1) {
    return args.Refuse("give exactly one of --csv, --xls or --xlsx");
  }
  const std::string& input = args.words()[0];

  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  // Read only: the command never writes the settings file.
  vaLoadCfg(UserCfgFile(), setup, unit);
  if (const std::string* given = args.Text("--units"); given && !ParseUnitDigits(*given, unit)) {
    return args.Refuse("--units takes five digits 0 or 1, for example 01001");
  }
  CouponUnits units;
  SetUnitRatio(unit, units);

  auto store = std::make_unique<CouponStore>();
  StderrNotifier read_notifier(input);
  if (Open(input, *store, read_notifier) != CouponFileResult::kOk) return 1;

  const std::string& output = csv ? *csv : xls ? *xls : *xlsx;
  StderrNotifier write_notifier(output);
  const bool ok = csv   ? SaveCsv(output, *store, units, write_notifier)
                  : xls ? SaveXls(output, *store, units, write_notifier)
                        : SaveXlsx(output, *store, units, write_notifier);
  return ok ? 0 : 1;
}

constexpr OptionDecl kCouponsOptions[] = {
    {.name = "--csv", .value = "OUT", .help = "writes comma-separated text to OUT"},
    {.name = "--xls", .value = "OUT", .help = "writes a spreadsheet (BIFF2) to OUT"},
    {.name = "--xlsx", .value = "OUT", .help = "writes an Excel workbook to OUT"},
    {.name = "--units",
     .value = "SPEC",
     .help = "five digits 0 or 1 choosing the units, for example 01001 (see above)"},
};

}  // namespace

const CommandDecl kCouponsCommand = {
    .path = "coupons",
    .synopsis = "FILE.CPN (--csv OUT | --xls OUT | --xlsx OUT) [--units SPEC]",
    .about =
        "Writes the coupon table of FILE.CPN as comma-separated text (--csv), as a spreadsheet\n"
        "file (--xls) or as an Excel workbook (--xlsx), exactly as the Coupon tab's Export does.\n"
        "--units SPEC: five digits 0 or 1 choosing the unit of density, dimension, metal loss,\n"
        "weight and corrosion rate, in that order (0: g/cm^3, cm, mm, g, mm/year; 1: lb/in^3,\n"
        "in, mil, oz, mils/year), for example 01001. Without it the unit choices of the user's\n"
        "settings file apply. The conversion ratios always come from the settings file, or\n"
        "their defaults.\n",
    .options = kCouponsOptions,
    .min_words = 1,
    .max_words = 1,
    .messages = {.missing_value = "missing value after {}",
                 .too_few_words = "no coupon data file given",
                 .too_many_words = "more than one coupon data file given"},
    .style = RefusalStyle::kTryHelp,
    .run = RunCoupons,
};

}  // namespace tarn
