// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export history coupons: the coupons at their points with the probe's rate beside each,
// importing coupon data files, and a coupon's deepest pit.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/export_commands.h"
#include "app/export_history_common.h"
#include "common/atomic_file.h"
#include "common/number_text.h"
#include "common/user_paths.h"
#include "coupon/coupon_store.h"
#include "history/history_store.h"
#include "history/point_path.h"
#include "settings/settings.h"

namespace tarn {

namespace {

std::string Figure(const std::optional<double>& v) {
  return v ? FormatPattern(*v, 4) : std::string();
}

std::vector<std::string> CouponFields(const CouponFigures& f) {
  const HistoryCoupon& c = f.coupon;
  return {
      std::to_string(c.id),
      c.point_path,
      std::string(c.values.tag, strnlen(c.values.tag, sizeof c.values.tag)),
      TimeText(c.install),
      TimeText(c.removal),
      FormatPattern(f.exposure_days, 4),
      FormatPattern(c.values.metal_loss, 4),
      FormatPattern(c.values.corr_rate, 4),
      FormatPattern(f.rate_mpy, 4),
      f.severity ? SeverityName(*f.severity) : "",
      Figure(f.probe_rate_mpy),
      Figure(f.ratio),
      Figure(c.pit_depth_mm),
      f.pitting ? FormatPattern(f.pitting->mm_per_year, 4) : "",
      f.pitting ? SeverityName(f.pitting->severity) : "",
  };
}

int RunCoupons(const ParsedArgs& args) {
  std::string under;
  if (const std::string* point = args.Text("--point")) {
    if (Status st = ParsePointPath(*point, &under); !st) return Fail(st.message);
  }
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  // Readings set aside are not kept yet: none to leave out.
  std::vector<CouponFigures> coupons = store->ListCoupons({});
  if (Status st = store->LastError(); !st) return Fail(st.message);
  if (!under.empty()) {
    std::erase_if(coupons, [&](const CouponFigures& f) {
      return !PointPathUnder(PointPathKey(f.coupon.point_path), PointPathKey(under));
    });
  }
  if (const std::string* out = args.Text("--csv")) {
    std::string text = CsvLine({"Id", "Point Path", "Tag", "Install", "Removal", "Exposure Days",
                                "Metal Loss mm", "Rate mm/y", "Rate mpy", "Class", "Probe Rate mpy",
                                "Ratio", "Pit Depth mm", "Pitting Rate mm/y", "Pitting Class"});
    for (const CouponFigures& f : coupons) text += CsvLine(CouponFields(f));
    if (Status saved = WriteFileAtomically(*out, text); !saved) return Fail(saved.message);
    return 0;
  }
  for (const CouponFigures& f : coupons) std::printf("%s\n", TabLine(CouponFields(f)).c_str());
  return 0;
}

// --unit mm|mils; without it, the Coupon tab's corrosion-rate unit in the settings file.
std::optional<bool> MilsOf(const ParsedArgs& args, bool required) {
  if (const std::string* unit = args.Text("--unit")) {
    if (*unit == "mm") return false;
    if (*unit == "mils") return true;
    return std::nullopt;
  }
  if (required) return std::nullopt;
  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
  vaLoadCfg(UserCfgFile(), setup, unit);  // read only
  return unit[4].sel == 1;
}

int RunImportCoupons(const ParsedArgs& args) {
  const std::optional<bool> mils = MilsOf(args, false);
  if (!mils) return args.Refuse("--unit is mm or mils");
  // Every file is read before anything is stored: a bad one stores nothing.
  std::vector<_coupon_values_> records;
  auto file = std::make_unique<CouponStore>();
  for (const std::string& path : args.words()) {
    FirstMessage message;
    if (Open(path, *file, message) != CouponFileResult::kOk) {
      return Fail(path + " cannot be imported: " +
                  (message.empty() ? std::string("it cannot be read.") : message.text()) +
                  " Nothing was imported.");
    }
    for (int32_t i = 0; i < file->record_count; ++i) {
      HistoryTime in = 0, out = 0;
      if (Status st = CouponTimes(file->items[i], &in, &out); !st) {
        return Fail(path + " cannot be imported: " + st.message + " Nothing was imported.");
      }
      records.push_back(file->items[i]);
    }
  }
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  const CouponImportResult r = store->ImportCoupons(records, *mils);
  if (!r.status) return Fail(r.status.message);
  std::printf("%lld added, %lld already held\n", static_cast<long long>(r.added),
              static_cast<long long>(r.held));
  return 0;
}

int RunPit(const ParsedArgs& args) {
  const std::optional<int64_t> coupon = args.Whole("--coupon");
  const std::optional<double> depth = args.Decimal("--depth");
  if (!coupon || !depth || !args.Has("--unit")) {
    return args.Refuse("pit needs --coupon ID, --depth VALUE and --unit mm|mils");
  }
  const std::optional<bool> mils = MilsOf(args, true);
  if (!mils) return args.Refuse("--unit is mm or mils");
  std::string error;
  auto store = OpenFromArgs(args, &error);
  if (!store) return Fail(error);
  if (Status st = store->SetPitDepth(*coupon, *depth, *mils); !st) return Fail(st.message);
  for (const CouponFigures& f : store->ListCoupons({})) {
    if (f.coupon.id != *coupon) continue;
    std::string line = "coupon " + std::to_string(f.coupon.id) + ": pit depth " +
                       FormatPattern(*f.coupon.pit_depth_mm, 4) + " mm";
    if (f.pitting) {
      line += ", pitting rate " + FormatPattern(f.pitting->mm_per_year, 4) + " mm/y (" +
              FormatPattern(f.pitting->mpy, 4) + " mpy), " + SeverityName(f.pitting->severity);
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

constexpr OptionDecl kPointOnly = {
    .name = "--point",
    .value = "PATH",
    .repeatable = true,
    .help = "only the coupons at the point PATH and the points under it"};
constexpr OptionDecl kCouponsOptions[] = {kHistoryOption, kCsvOption, kPointOnly};
constexpr OptionDecl kImportUnit = {
    .name = "--unit",
    .value = "mm|mils",
    .repeatable = true,
    .help = "the unit the coupons are shown in; without it, the Coupon tab's rate unit"};
constexpr OptionDecl kImportOptions[] = {kHistoryOption, kImportUnit};
constexpr OptionDecl kPitOptions[] = {
    kHistoryOption,
    kCouponOption,
    {.name = "--depth",
     .value = "VALUE",
     .repeatable = true,
     .kind = ValueKind::kDecimal,
     .low = 0,
     .high = 1e6,
     .refusal = "--depth needs a number, 0 or more",
     .help = "the deepest pit"},
    {.name = "--unit", .value = "mm|mils", .repeatable = true, .help = "the unit of --depth"},
};

const CommandDecl kImportCoupons = {
    .path = "history coupons import",
    .synopsis = "FILE.CPN... [--unit mm|mils]",
    .about =
        "stores the coupons of coupon data files, each at the point whose current probe has\n"
        "its tag, else whose last name is its tag, else at Unassigned/TAG; a coupon held\n"
        "already (same tag, installation and removal) is left as it is. Every file is read\n"
        "first, and all of them go in at once or, with a file that cannot be read, none.\n"
        "Prints how many were added and how many were held already.\n",
    .options = kImportOptions,
    .min_words = 1,
    .max_words = INT32_MAX,
    .messages = {.too_few_words = "history coupons import needs at least one FILE.CPN"},
    .style = RefusalStyle::kWithHelp,
    .run = RunImportCoupons,
};
const CommandDecl kPit = {
    .path = "history coupons pit",
    .synopsis = "--coupon ID --depth VALUE --unit mm|mils",
    .about =
        "sets a coupon's deepest pit (kept in mm) and prints it with the pitting rate, the\n"
        "depth over the exposure, and its class.\n",
    .options = kPitOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunPit,
};
const CommandDecl* const kCouponsSubcommands[] = {&kImportCoupons, &kPit};

}  // namespace

const CommandDecl kHistoryCouponsCommand = {
    .path = "history coupons",
    .synopsis = "[--point PATH] [--csv OUT]",
    .about =
        "one line per coupon, sorted by point path and installation (tab-separated; --csv\n"
        "writes a file with a header line): id, point path, tag, install, removal, exposure\n"
        "days, metal loss mm, rate mm/y, rate mpy, class, probe rate mpy, ratio, pit depth\n"
        "mm, pitting rate mm/y, pitting class. The probe rate is the trend of the point's\n"
        "series over the coupon's own exposure, the ratio probe / coupon; a field is empty\n"
        "where its figure cannot be had.\n",
    .options = kCouponsOptions,
    .style = RefusalStyle::kWithHelp,
    .run = RunCoupons,
    .subcommands = kCouponsSubcommands,
};

}  // namespace tarn
