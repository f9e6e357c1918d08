// tarn-export: converts instrument and coupon files from the command line, as the program's
// screens would.
#include <cstdio>
#include <cstring>

#include "app/export_commands.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  tarn-export tags FILE\n"
    "  tarn-export analysis FILE --tag N (--csv OUT | --xls OUT)\n"
    "  tarn-export coupons FILE.CPN (--csv OUT | --xls OUT) [--units SPEC]\n"
    "  tarn-export graph FILE --tag N --bmp OUT [--size WxH]\n"
    "Run 'tarn-export COMMAND --help' for the details of one command.\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"tags", tarn::RunTagsCommand},
    {"analysis", tarn::RunAnalysisCommand},
    {"coupons", tarn::RunCouponsCommand},
    {"graph", tarn::RunGraphCommand},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "tarn-export: unknown command '%s' (try --help)\n", argv[1]);
  return 2;
}
