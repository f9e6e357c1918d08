// SPDX-License-Identifier: GPL-3.0-or-later
// The lists of recently opened files, newest first, kept in a section of their own in the
// settings file beside the program's classic keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class IniFile;

inline constexpr int kRecentMax = 8;

// Puts path first, dropping an older copy of it and anything past the eighth.
void AddRecent(std::vector<std::string>& list, const std::string& path);

// The list of one kind of file ("Instrument", "Coupon"): keys kind1 to kind8 of the section
// "RecentFiles"; empty values are passed over.
std::vector<std::string> ReadRecent(const IniFile& ini, std::string_view kind);
// Writes the eight keys of one kind, empty past the end of the list. A path the settings file
// cannot give back unchanged (too long, a line break, blanks at its ends) is left out.
void WriteRecent(IniFile& ini, std::string_view kind, const std::vector<std::string>& list);

}  // namespace tarn
