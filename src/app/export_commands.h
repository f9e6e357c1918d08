// SPDX-License-Identifier: GPL-3.0-or-later
// Subcommands of tarn-export, the command-line companion; each lives in its own file.
#pragma once

namespace tarn {

// Each takes the arguments after the subcommand name, returns the process exit code, and
// writes errors to standard error as one line.
int RunTagsCommand(int argc, char** argv);
int RunAnalysisCommand(int argc, char** argv);
int RunCouponsCommand(int argc, char** argv);
int RunGraphCommand(int argc, char** argv);
int RunHistoryCommand(int argc, char** argv);
// "history copy", from the history command's arguments after "copy".
int RunHistoryCopyCommand(int argc, char** argv);

}  // namespace tarn
