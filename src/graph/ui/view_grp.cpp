// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/view_grp.h"

#include <iterator>

#include "common/ui/qt_text.h"
#include "graph/ui/graph_picture.h"
#include "graph/ui/graph_records.h"
#include "graph/ui/qimage_surface.h"
#include "settings/ui/settings_records.h"

namespace tarn {

namespace {

const GraphFrame::Look kLook = {"ViewGrp",
                                "View Graph",
                                kPictureTypes,
                                static_cast<int>(std::size(kPictureTypes)),
                                "The graph could not be saved to %1. %2",
                                false,
                                "Show the whole series again after zooming"};

}  // namespace

ViewGrp::ViewGrp(QWidget* parent)
    : GraphFrame(kLook, parent), view_(vGrpData, vSetup, QImageSurface::Factory()) {
  SetDragOpt(3);
}

ViewGrp::~ViewGrp() = default;

QString ViewGrp::GetCrateStr(int sp, int ep) const {
  return FromUtf8(view_.GetCrateStr(sp, ep));
}

void ViewGrp::StartView(int w, int h) {
  view_.gInit(w, h);
}

void ViewGrp::StopView() {
  view_.gClose(vSetup);
}

void ViewGrp::SetupConfirmed(uint32_t data_color, uint32_t trend_color) {
  view_.SetupConfirmed(data_color, trend_color);
}

}  // namespace tarn
