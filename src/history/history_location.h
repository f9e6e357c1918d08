// SPDX-License-Identifier: GPL-3.0-or-later
// Where the probe history lives: "--history PATH" on the command line, else the LOCATION key of
// the settings file's [HISTORY] section, else history.sqlite in the program's data folder.
#pragma once

#include <string>

namespace tarn {

inline constexpr const char* kHistorySection = "HISTORY";
inline constexpr const char* kHistoryLocationKey = "LOCATION";
inline constexpr const char* kHistoryFileName = "history.sqlite";

// `from_command_line` wins when not empty; the settings file is read, never written.
// `data_path` is the data folder, ending in a separator.
std::string ResolveHistoryLocation(const std::string& from_command_line,
                                   const std::string& cfg_file, const std::string& data_path);

// Takes "--history PATH" or "--history=PATH" out of argv (so the rest can go to other parsers)
// and returns PATH; empty when absent. False when "--history" has no value.
bool TakeHistoryArgument(int* argc, char** argv, std::string* location);

}  // namespace tarn

namespace tarn {

// Why a history file that was there once cannot be reached: its path names no file now (removed
// or moved). Empty for a server location and for a file that is there. Opening would make a new
// empty history, which a view must not pass off as the one it showed.
std::string MissingHistoryFile(const std::string& location);

}  // namespace tarn
