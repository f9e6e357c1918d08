// SPDX-License-Identifier: GPL-3.0-or-later
// The graph window "View Graph" over vGrpData: the graph frame's plot panel, bar, read-out and
// Save, Print and Setup, around GraphView, which holds the state and the rules.
#pragma once

#include <QString>
#include <cstdint>

#include "graph/graph_view.h"
#include "graph/ui/graph_frame.h"

class QWidget;

namespace tarn {

class ViewGrp : public GraphFrame {
  Q_OBJECT

 public:
  explicit ViewGrp(QWidget* parent = nullptr);
  ~ViewGrp() override;

  // Corrosion rate between two samples of vGrpData in the user's number format; usable while
  // the window is hidden.
  QString GetCrateStr(int sp, int ep) const;

  GraphView& view() { return view_; }

 protected:
  PlotView& plot() override { return view_; }
  void StartView(int w, int h) override;
  void StopView() override;
  uint32_t DataColor() override { return view_.cl_data; }
  uint32_t TrendColor() override { return view_.cl_trend; }
  void SetupConfirmed(uint32_t data_color, uint32_t trend_color) override;

 private:
  GraphView view_;
};

}  // namespace tarn
