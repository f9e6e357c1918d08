// SPDX-License-Identifier: GPL-3.0-or-later
// What the analysis screen shows for one tag (data-type label, information rows, reading rows,
// corrosion-rate line) and the CSV and spreadsheet exports of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/nembra_reader.h"
#include "common/status.h"
#include "graph/grp_values.h"

namespace tarn {

struct InfoRow {
  const char* name;   // "Serial no", "Probe Type", ...
  std::string value;  // narrow text, as the reader holds it
};

// "ER Data" for data types 0 and 4, "LPR Data" otherwise.
const char* DataTypeLabel(int32_t data_type);
// The information rows of the tag read last (tag reader.cur_tag): 7, 5 or 3 by data type.
std::vector<InfoRow> InfoRows(const NembraReader& reader);
// Reading row i of the graph data set, as shown and exported: the reading's own recorded time
// "dd/MM/yyyy HH:mm" (seconds dropped) and the value "0.0000" with a full stop.
std::string ReadingTimeText(const NembraReader& reader, int32_t i);
std::string ReadingValueText(const NembraReader& reader, int32_t i);
// "Corrosion Rate : " + end-point rate + " mpy" for data types 0 and 4, empty otherwise.
std::string CrateStr(const NembraReader& reader);

// Both write the current tag of `reader` (after GetData) through a temporary file renamed into
// place. They fail with a one-line reason when the file cannot be created or written; nothing
// is then left at `path`.
Status SaveCsv(const NembraReader& reader, const std::string& path);
Status SaveXls(const NembraReader& reader, const std::string& path);
// The same cells as SaveXls in an XLSX workbook, without its row limit: reading times and the
// start time as date cells, values as numbers shown with four decimals.
Status SaveXlsx(const NembraReader& reader, const std::string& path);

}  // namespace tarn
