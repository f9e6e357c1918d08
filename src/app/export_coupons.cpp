// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export coupons: the coupon screen's Export of a coupon data file, without the screen.
#include <cstdio>
#include <cstring>
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

const char kCouponsHelp[] =
    "usage:\n"
    "  tarn-export coupons FILE.CPN --csv OUT [--units SPEC]\n"
    "  tarn-export coupons FILE.CPN --xls OUT [--units SPEC]\n"
    "  tarn-export coupons FILE.CPN --xlsx OUT [--units SPEC]\n"
    "\n"
    "Writes the coupon table of FILE.CPN as comma-separated text (--csv), as a spreadsheet\n"
    "file (--xls) or as an Excel workbook (--xlsx), exactly as the Coupon tab's Export does.\n"
    "\n"
    "  --units SPEC  five digits 0 or 1 choosing the unit of density, dimension, metal loss,\n"
    "                weight and corrosion rate, in that order (0: g/cm^3, cm, mm, g, mm/year;\n"
    "                1: lb/in^3, in, mil, oz, mils/year), for example 01001. Without it the\n"
    "                unit choices of the user's settings file apply. The conversion ratios\n"
    "                always come from the settings file, or their defaults.\n";

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

int UsageError(const char* what) {
  std::fprintf(stderr, "tarn-export coupons: %s (try 'tarn-export coupons --help')\n", what);
  return 2;
}

bool ParseUnitSpec(std::string_view digits, _select_unit_ (&unit)[kUnitCount]) {
  if (digits.size() != kUnitCount) return false;
  for (int k = 0; k < kUnitCount; ++k) {
    if (digits[k] != '0' && digits[k] != '1') return false;
  }
  for (int k = 0; k < kUnitCount; ++k) unit[k].sel = digits[k] - '0';
  return true;
}

}  // namespace

int RunCouponsCommand(int argc, char** argv) {
  const char* input = nullptr;
  const char* csv = nullptr;
  const char* xls = nullptr;
  const char* xlsx = nullptr;
  const char* units_spec = nullptr;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kCouponsHelp, stdout);
      return 0;
    }
    const char** option = arg == "--csv"     ? &csv
                          : arg == "--xls"   ? &xls
                          : arg == "--xlsx"  ? &xlsx
                          : arg == "--units" ? &units_spec
                                             : nullptr;
    if (option != nullptr) {
      if (i + 1 >= argc) return UsageError(("missing value after " + std::string(arg)).c_str());
      if (*option != nullptr) return UsageError(("repeated " + std::string(arg)).c_str());
      *option = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError(("unknown option " + std::string(arg)).c_str());
    } else if (input == nullptr) {
      input = argv[i];
    } else {
      return UsageError("more than one coupon data file given");
    }
  }
  if (input == nullptr) return UsageError("no coupon data file given");
  if ((csv != nullptr) + (xls != nullptr) + (xlsx != nullptr) != 1) {
    return UsageError("give exactly one of --csv, --xls or --xlsx");
  }

  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  // Read only: the command never writes the settings file.
  vaLoadCfg(UserCfgFile(), setup, unit);
  if (units_spec != nullptr && !ParseUnitSpec(units_spec, unit)) {
    return UsageError("--units takes five digits 0 or 1, for example 01001");
  }
  CouponUnits units;
  SetUnitRatio(unit, units);

  auto store = std::make_unique<CouponStore>();
  StderrNotifier read_notifier(input);
  if (Open(input, *store, read_notifier) != CouponFileResult::kOk) return 1;

  const char* output = csv != nullptr ? csv : xls != nullptr ? xls : xlsx;
  StderrNotifier write_notifier(output);
  const bool ok = csv != nullptr   ? SaveCsv(output, *store, units, write_notifier)
                  : xls != nullptr ? SaveXls(output, *store, units, write_notifier)
                                   : SaveXlsx(output, *store, units, write_notifier);
  return ok ? 0 : 1;
}

}  // namespace tarn
