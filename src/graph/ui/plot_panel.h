// SPDX-License-Identifier: GPL-3.0-or-later
// The plot panel of a graph window: hands its paint, size, pointer and wheel events to the window
// that draws on it, with the pointer buttons numbered as the plot engine numbers them.
#pragma once

#include <QWidget>

namespace tarn {

// What a graph window does with its plot panel's events.
class PlotPanelEvents {
 public:
  virtual ~PlotPanelEvents() = default;
  virtual void pnGrp_Paint() = 0;
  virtual void pnGrp_Resize() = 0;
  virtual void pnGrp_MouseDown(int button, int x, int y) = 0;
  virtual void pnGrp_MouseMove(int button, int x, int y) = 0;
  virtual void pnGrp_MouseUp(int button, int x, int y) = 0;
  // The wheel delta and the pointer position in panel pixels.
  virtual void pnGrp_MouseWheel(int delta, int x, int y) = 0;
};

class PlotPanel : public QWidget {
 public:
  PlotPanel(PlotPanelEvents* owner, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  PlotPanelEvents* owner_;
};

}  // namespace tarn
