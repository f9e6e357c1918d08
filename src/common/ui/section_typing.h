// SPDX-License-Identifier: GPL-3.0-or-later
// Date and time fields that take typed digits section by section: day, month, year, hour and
// minute each fill in turn and move on when full, with or without the separators.
#pragma once

class QDateTimeEdit;

namespace tarn {

// Makes `edit` (a QDateEdit or QTimeEdit) take digits typed over its sections. Qt's own field
// refuses a section's first digit that is no valid value by itself, and a day the shown month
// lacks, so "25122023" typed over 01/02/2020 changed nothing.
void TypeBySection(QDateTimeEdit* edit);

}  // namespace tarn
