// SPDX-License-Identifier: GPL-3.0-or-later
// The controls under a graph: what to show (data, trend, automatic Y range), View All and the
// three picture buttons that choose which way a drag zooms, with the read-out beside them.
// Each window lays them out in its own bar.
#pragma once

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace tarn {

struct ZoomBar {
  QCheckBox* chkData;
  QCheckBox* chkTrend;
  QCheckBox* chkYaxis;
  QPushButton* btnViewAll;
  QPushButton* btnAreaXY;
  QPushButton* btnAreaX;
  QPushButton* btnAreaY;
  QLabel* lbValue;
};

// Makes the controls as children of bar; none of them presses on Enter.
ZoomBar MakeZoomBar(QWidget* bar);

// The hints of View All (view_all, which says what the whole is) and of the area buttons.
void SetZoomHints(const ZoomBar& bar, const char* view_all);

// Marks the area button of drag option opt: 1 across, 2 up and down, 3 both.
void PutDragOpt(const ZoomBar& bar, int opt);

}  // namespace tarn
