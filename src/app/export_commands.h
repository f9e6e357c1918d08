// SPDX-License-Identifier: GPL-3.0-or-later
// Commands of tarn-export, the command-line companion; each lives in its own file and declares
// its options in its table.
#pragma once

#include "app/export_common.h"

namespace tarn {

extern const CommandDecl kTagsCommand;
extern const CommandDecl kAnalysisCommand;
extern const CommandDecl kCouponsCommand;
extern const CommandDecl kGraphCommand;
extern const CommandDecl kHistoryCommand;  // the group of "history" subcommands
extern const CommandDecl kHistoryCopyCommand;
extern const CommandDecl kPointsCommand;  // history points, with its subcommand rename
extern const CommandDecl kAssignCommand;
extern const CommandDecl kEventsCommand;  // history events, with its subcommands add and remove
extern const CommandDecl kHistoryCouponsCommand;  // history coupons, with import and pit
extern const CommandDecl kExcludeCommand;         // history exclude
extern const CommandDecl kRestoreCommand;         // history restore

}  // namespace tarn
