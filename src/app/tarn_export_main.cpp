// SPDX-License-Identifier: GPL-3.0-or-later
// tarn-export: converts instrument and coupon files from the command line, as the program's
// screens would.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/export_commands.h"

namespace {

const tarn::CommandDecl* const kCommands[] = {
    &tarn::kTagsCommand,  &tarn::kAnalysisCommand, &tarn::kCouponsCommand,
    &tarn::kGraphCommand, &tarn::kHistoryCommand,
};

const tarn::CommandDecl kTarnExport = {
    .path = "",
    .synopsis = "",
    .about =
        "Run 'tarn-export COMMAND --help' for the details of one command.\n"
        "Exit status, the same for every command: 0 done; 1 the work failed (a file cannot be\n"
        "read or written, the file holds no such tag, standard output cannot be written); 2 the\n"
        "command line is wrong (unknown command or option, a value missing or malformed).\n",
    .messages = {.unknown_command = "unknown command '{}' (try --help)"},
    .subcommands = kCommands,
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
  return CheckedOutput(tarn::RunCommand(kTarnExport, argc - 1, argv + 1));
}
