// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/analysis_export.h"

#include <cstdio>

#include "common/atomic_file.h"
#include "common/code_page.h"
#include "common/date_time.h"
#include "common/number_text.h"
#include "miniexcel/ordered_sheet.h"
#include "xlsx/xlsx_sheet.h"

namespace tarn {

namespace {

// Sheet rows are stored in 16 bits; a row past this would overwrite the top of the sheet.
constexpr int64_t kLastSheetRow = 65535;

bool HasTag(const NembraReader& reader) {
  return reader.is_data && reader.file_type != -1 && reader.cur_tag >= 0 &&
         reader.cur_tag < reader.tag_count;
}

int32_t CurrentType(const NembraReader& reader) {
  return HasTag(reader) ? reader.data_type[reader.cur_tag] : -1;
}

std::string CurrentTagName(const NembraReader& reader) {
  return HasTag(reader) ? reader.tag_name[reader.cur_tag] : std::string();
}

int32_t ReadingCount(const NembraReader& reader) {
  if (!HasTag(reader)) return 0;
  const int32_t n = reader.record_count;
  return n < 0 ? 0 : (n > kGrpCapacity ? kGrpCapacity : n);
}

}  // namespace

const char* DataTypeLabel(int32_t data_type) {
  return data_type == 0 || data_type == 4 ? "ER Data" : "LPR Data";
}

std::vector<InfoRow> InfoRows(const NembraReader& reader) {
  const NembraReader& r = reader;
  switch (CurrentType(reader)) {
    case 0:
      return {{"Serial no", r.serial_no},       {"Part no", r.part_no},
              {"Probe Type", r.probe_type_str}, {"Metal Loss Unit", r.mloss_unit},
              {"Thickness", r.thickness},       {"Reading Interval", r.read_interval},
              {"Start Time", r.start_dt}};
    case 1:
    case 2:
    case 3:
      return {{"Serial no", r.serial_no},
              {"Part no", r.part_no},
              {"Probe Type", r.probe_type_str},
              {"Reading Interval", r.read_interval},
              {"Start Time", r.start_dt}};
    case 4:
      return {
          {"Probe Type", r.probe_type_str}, {"Thickness", r.thickness}, {"Start Time", r.start_dt}};
    case 5:
    case 6:
    case 7:
      // These tags keep the alloy text in the thickness field.
      return {{"Probe Type", r.probe_type_str},
              {"Alloy (UNS)", r.thickness},
              {"Start Time", r.start_dt}};
    default:
      return {};
  }
}

namespace {

// The reading's own time to the minute; the base time plus its minutes for a reader that kept
// no own times.
std::size_t ReadingTimeChars(const NembraReader& reader, int32_t i, char* out) {
  if (i >= 0 && static_cast<std::size_t>(i) < reader.reading_time.size())
    return TimeSpan2Chars(reader.reading_time[static_cast<std::size_t>(i)], 0.0, out);
  return TimeSpan2Chars(reader.base_time, reader.grp().elapsed[i], out);
}

}  // namespace

std::string ReadingTimeText(const NembraReader& reader, int32_t i) {
  char when[32];
  return std::string(when, ReadingTimeChars(reader, i, when));
}

std::string ReadingValueText(const NembraReader& reader, int32_t i) {
  return FormatPattern(reader.grp().value[i], 4);
}

std::string CrateStr(const NembraReader& reader) {
  const int32_t type = CurrentType(reader);
  if (type != 0 && type != 4) return {};
  return "Corrosion Rate : " + GetCrateStr(reader.grp(), 0, reader.record_count - 1) + " mpy";
}

Status SaveCsv(const NembraReader& reader, const std::string& path) {
  const int32_t count = ReadingCount(reader);
  std::string out;
  out.reserve(static_cast<std::size_t>(count) * 32 + 512);
  out += DataTypeLabel(CurrentType(reader));
  out += "\r\n\r\n";
  out += "Tag Name," + CurrentTagName(reader) + "\r\n";
  for (const InfoRow& row : InfoRows(reader)) {
    out += row.name;
    out += ',';
    out += row.value;
    out += "\r\n";
  }
  out += "\r\n";
  out += "Received Date / Time," + reader.data_type_name + "," + CrateStr(reader) + "\r\n";
  for (int32_t i = 0; i < count; ++i) {
    out += ReadingTimeText(reader, i);
    out += ',';
    out += ReadingValueText(reader, i);
    out += "\r\n";
  }
  out += "\r\n";

  if (Status saved = WriteFileAtomically(path, out); !saved) {
    return Status::Fail("Cannot write the file. " + saved.message);
  }
  return {};
}

Status SaveXls(const NembraReader& reader, const std::string& path) {
  const int32_t count = ReadingCount(reader);
  const std::vector<InfoRow> info = InfoRows(reader);
  const unsigned k = static_cast<unsigned>(info.size());
  if (count > 0 && 5 + int64_t{k} + count - 1 > kLastSheetRow) {
    return Status::Fail("Too many readings for a spreadsheet file; export them as CSV.");
  }

  // The records stream to the file as they are made: first every number (the readings'
  // values), then every text in row order. Rows whose value is no number are noted in the first
  // pass and give their text in the second.
  const auto produce = [&](SaveSink& out) {
    out.Append(miniexcel::BeginRecord());
    const unsigned first_row = 5 + k;
    std::vector<int32_t> text_values;
    char record[miniexcel::kMostTextRecordSize];
    for (int32_t i = 0; i < count; ++i) {
      // The number cell holds what the row shows: the value rounded to four decimals. A reading
      // that is no number ("NaN") stays the text the CSV shows, never a zero.
      double shown = 0.0;
      if (ParseWholeNumber(ReadingValueText(reader, i), &shown)) {
        out.Append(record,
                   miniexcel::NumberRecord(record, first_row + static_cast<unsigned>(i), 1, shown));
      } else {
        text_values.push_back(i);
      }
    }
    const auto text = [&](unsigned row, unsigned column, std::string_view value) {
      out.Append(record, miniexcel::TextRecord(record, row, column, value));
    };
    text(0, 0, DataTypeLabel(CurrentType(reader)));
    text(2, 0, "Tag Name");
    text(2, 1, CurrentTagName(reader));
    for (unsigned i = 0; i < k; ++i) {
      text(3 + i, 0, info[i].name);
      text(3 + i, 1, info[i].value);
    }
    text(4 + k, 0, "Received Date / Time");
    text(4 + k, 1, reader.data_type_name);
    text(4 + k, 2, CrateStr(reader));
    auto next_text = text_values.begin();
    char when[32];
    for (int32_t i = 0; i < count; ++i) {
      // ReadingTimeText without making a string.
      const std::size_t n = ReadingTimeChars(reader, i, when);
      text(first_row + static_cast<unsigned>(i), 0, std::string_view(when, n));
      if (next_text != text_values.end() && *next_text == i) {
        text(first_row + static_cast<unsigned>(i), 1, ReadingValueText(reader, i));
        ++next_text;
      }
    }
    out.Append(miniexcel::EndRecord());
    return true;
  };

  // Only a sheet written whole is saved; the old file stays otherwise.
  if (Status saved = WriteFileAtomically(path, produce); !saved) {
    return Status::Fail("Cannot write the file. " + saved.message);
  }
  return {};
}

Status SaveXlsx(const NembraReader& reader, const std::string& path) {
  const int32_t count = ReadingCount(reader);
  const std::vector<InfoRow> info = InfoRows(reader);
  const uint32_t k = static_cast<uint32_t>(info.size());
  XlsxSheet sheet;
  sheet.ColumnWidth(0, 22);
  sheet.ColumnWidth(1, 20);
  sheet.ColumnWidth(2, 30);
  sheet.Text(0, 0, DataTypeLabel(CurrentType(reader)));
  sheet.Text(2, 0, "Tag Name");
  sheet.Text(2, 1, NarrowToUtf8(CurrentTagName(reader)));
  for (uint32_t i = 0; i < k; ++i) {
    sheet.Text(3 + i, 0, info[i].name);
    DateTime when;
    bool seconds = false;
    if (std::string_view(info[i].name) == "Start Time" &&
        ParseCellDate(info[i].value, &when, &seconds)) {
      sheet.Date(3 + i, 1, when, seconds);
    } else {
      sheet.Text(3 + i, 1, NarrowToUtf8(info[i].value));
    }
  }
  sheet.Text(4 + k, 0, "Received Date / Time");
  sheet.Text(4 + k, 1, NarrowToUtf8(reader.data_type_name));
  sheet.Text(4 + k, 2, CrateStr(reader));
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t row = 5 + k + static_cast<uint32_t>(i);
    // Both cells hold what the row shows: the time to the minute, the value to four decimals.
    DateTime when;
    bool seconds = false;
    const std::string time = ReadingTimeText(reader, i);
    if (ParseCellDate(time, &when, &seconds)) {
      sheet.Date(row, 0, when, false);
    } else {
      sheet.Text(row, 0, time);
    }
    const std::string value = ReadingValueText(reader, i);
    double shown = 0.0;
    if (ParseWholeNumber(value, &shown)) {
      sheet.Number(row, 1, shown, 4);
    } else {
      sheet.Text(row, 1, value);
    }
  }
  return sheet.Save(path);
}

}  // namespace tarn
