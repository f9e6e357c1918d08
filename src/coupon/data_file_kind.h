// SPDX-License-Identifier: GPL-3.0-or-later
// Which screen opens a file handed to the program from outside (command line, drag and drop,
// file manager): decided by the file's content, not by its name.
#pragma once

#include <string>

namespace tarn {

enum class DataFileKind {
  kInstrument,  // everything else: the instrument data reader judges it and reports
  kCoupon,      // starts with the coupon data file signature
};

// Reads at most the signature's length from path (UTF-8). A file that cannot be read goes to
// the instrument reader, which reports it as the open dialog would.
DataFileKind SniffDataFile(const std::string& path);

}  // namespace tarn
