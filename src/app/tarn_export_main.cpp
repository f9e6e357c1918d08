// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export: converts instrument and coupon files from the command line, as the program's
// screens would.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/export_commands.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  tarn-export tags FILE\n"
    "  tarn-export analysis FILE --tag N (--csv OUT | --xls OUT | --xlsx OUT)\n"
    "  tarn-export coupons FILE.CPN (--csv OUT | --xls OUT | --xlsx OUT) [--units SPEC]\n"
    "  tarn-export graph FILE --tag N (--bmp OUT | --png OUT | --svg OUT | --pdf OUT)... "
    "[--size WxH]\n"
    "  tarn-export history (import|probes|readings|report|limits) ... [--history PATH]\n"
    "  tarn-export history copy --from LOCATION --to LOCATION\n"
    "Run 'tarn-export COMMAND --help' for the details of one command.\n"
    "Exit status, the same for every command: 0 done; 1 the work failed (a file cannot be\n"
    "read or written, the file holds no such tag, standard output cannot be written); 2 the\n"
    "command line is wrong (unknown command or option, a value missing or malformed).\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"tags", tarn::RunTagsCommand},       {"analysis", tarn::RunAnalysisCommand},
    {"coupons", tarn::RunCouponsCommand}, {"graph", tarn::RunGraphCommand},
    {"history", tarn::RunHistoryCommand},
};

// Output that never reached standard output (a full disk, a closed pipe) fails the command.
int CheckedOutput(int status) {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
  std::fprintf(stderr, "tarn-export: cannot write to standard output: %s\n",
               std::strerror(errno != 0 ? errno : EIO));
  return status == 0 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return CheckedOutput(argc < 2 ? 2 : 0);
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return CheckedOutput(c.run(argc - 2, argv + 2));
  }
  std::fprintf(stderr, "tarn-export: unknown command '%s' (try --help)\n", argv[1]);
  return 2;
}
