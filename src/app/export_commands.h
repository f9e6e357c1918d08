// SPDX-License-Identifier: GPL-3.0-or-later
// Commands of tarn-export, the command-line companion; each lives in its own file and declares
// its options in its table.
#pragma once

#include "app/export_common.h"

namespace tarn {

extern const CommandSpec kTagsCommand;
extern const CommandSpec kAnalysisCommand;
extern const CommandSpec kCouponsCommand;
extern const CommandSpec kGraphCommand;
extern const CommandSpec kHistoryCommand;  // the group of "history" subcommands
extern const CommandSpec kHistoryCopyCommand;

}  // namespace tarn
