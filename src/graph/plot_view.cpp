// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/plot_view.h"

#include <algorithm>

namespace tarn {

PlotView::PlotView(SurfaceFactory factory, const ZoomPolicy* policy)
    : engine(std::move(factory)), zoom(policy) {}

void PlotView::SetDecimalSeparator(const std::string& sep) {
  decimal_sep_ = sep.empty() ? "." : sep;
  engine.SetDecimalSeparator(decimal_sep_);
}

std::string PlotView::LocaleNumber(std::string text) const {
  if (decimal_sep_ == ".") return text;
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text.replace(dot, 1, decimal_sep_);
  return text;
}

void PlotView::InitView(int panel_w, int panel_h) {
  engine.gAlloc(panel_w, panel_h);
  engine.grMinx = 0;
  engine.gridX = 4;
  engine.gridY = 10;
  engine.gSetTitlex("Date / Time");
  engine.sX1 = engine.sX2 = engine.sY1 = engine.sY2 = -1;
  zoom.Reset();
  resized_scr = false;
  SetDragOpt(3);
}

void PlotView::CloseView() {
  engine.gFree();
  resized_scr = false;
}

void PlotView::RedrawGraph() {
  // Paint and size events may come before the first showing; there is nothing to draw then.
  if (!HasBitmap()) return;
  resized_scr = false;
  BaseGraph();
  DrawGraph();
  resized_scr = true;
}

void PlotView::ResizeGraph(int panel_w, int panel_h) {
  if (!HasBitmap()) return;
  engine.gFree();
  engine.gAlloc(panel_w, panel_h);
  RedrawGraph();
}

void PlotView::RenderOn(std::unique_ptr<DrawSurface> other) {
  if (!HasBitmap() || !other) return;
  const int cursor[4] = {engine.sX1, engine.sX2, engine.sY1, engine.sY2};
  std::unique_ptr<DrawSurface> bitmap = engine.SwapSurface(std::move(other));
  BaseGraph();
  DrawGraph();
  engine.SwapSurface(std::move(bitmap));
  engine.sX1 = cursor[0];
  engine.sX2 = cursor[1];
  engine.sY1 = cursor[2];
  engine.sY2 = cursor[3];
}

void PlotView::ViewAll() {
  Show(zoom.Full());
  RedrawGraph();
}

void PlotView::PutLegendLines(uint32_t data_color, uint32_t trend_color) {
  const int x1 = engine.gX1;
  engine.gSetLine(data_color, 6);
  engine.DrawLinePx(x1, 27, x1 + 45, 27);
  engine.gSetLine(trend_color, 6);
  engine.DrawLinePx(x1, 39, x1 + 45, 39);
  engine.DrawTextAt(x1 + 50, 20, engine.gTitley, engine.gFontLabelx, engine.gclTitlex);
  engine.DrawTextAt(x1 + 50, 32, "Trend Line", engine.gFontLabelx, engine.gclTitlex);
}

int PlotView::LegendRight() const {
  return engine.gX1 + 50 +
         std::max(engine.TextWidth(engine.gTitley, engine.gFontLabelx),
                  engine.TextWidth("Trend Line", engine.gFontLabelx));
}

PlotSpan PlotView::Span() const {
  return {engine.grMinx, engine.grMaxx, engine.grMiny, engine.grMaxy};
}

void PlotView::Show(const PlotSpan& span) {
  engine.grMinx = span.x_lo;
  engine.grMaxx = span.x_hi;
  engine.grMiny = span.y_lo;
  engine.grMaxy = span.y_hi;
}

PlotPoint PlotView::PointAt(int x, int y) const {
  PlotPoint p;
  p.inside = engine.gMousePos(x, y, &p.x, &p.y);
  return p;
}

void PlotView::OnMouseDown(int button, int x, int y) {
  zoom.Press(button, PointAt(x, y));
}

PointerResult PlotView::OnMouseMove(int, int x, int y) {
  PointerResult result;
  if (!resized_scr || !HasBitmap()) return result;
  result.ignored = false;
  const PlotPoint at = PointAt(x, y);
  result.inside = at.inside;
  if (at.inside) result.readout = Readout(at.x, y);
  engine.MoveCursorLines(zoom.is_drawing, at.inside, x, y, zoom.XEnabled(), zoom.YEnabled());
  return result;
}

bool PlotView::OnMouseUp(int, int x, int y) {
  PlotSpan span = Span();
  if (!zoom.Release(PointAt(x, y), &span)) return false;
  engine.ClearCursorLines(zoom.XEnabled(), zoom.YEnabled());
  Show(span);
  RedrawGraph();
  return true;
}

void PlotView::OnMouseWheel(int delta, int x, int y) {
  // The hover lines go first: the redraw would leave them standing in the old picture.
  PlotEngine& e = engine;
  if (e.sX1 != -1) e.gXorLiney(e.gY1, e.gY2, e.sX1);
  if (e.sY1 != -1) e.gXorLinex(e.gX1, e.gX2, e.sY1);
  e.sX1 = e.sY1 = -1;
  Show(zoom.Wheel(delta, PointAt(x, y), Span()));
  wheeled_ = true;
  RedrawGraph();
  wheeled_ = false;
}

}  // namespace tarn
