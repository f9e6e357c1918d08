// SPDX-License-Identifier: GPL-3.0-or-later
// Where the user's documents folder and the program's settings file are, the same way the
// program finds them (XDG user directories on Linux), without creating anything.
#pragma once

#include <string>

namespace tarn {

// The documents folder: XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default
// ~/.config) when set, else $HOME/Documents. No trailing separator; empty without a home.
std::string UserDocumentsDir();
// <documents>/Tarn/TARN.CFG; empty without a home.
std::string UserCfgFile();
// <documents>/Tarn/DATA/ (ending in a separator), the data folder; empty without a home.
std::string UserDataPath();

}  // namespace tarn
