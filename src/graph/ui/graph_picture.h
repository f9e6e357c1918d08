// SPDX-License-Identifier: GPL-3.0-or-later
// The graph as a picture file: the bitmap as BMP or PNG, or the same drawing as vector SVG or
// PDF with real text; the file types the graph window's Save offers.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

#include "graph/plot_view.h"

namespace tarn {

enum class PictureFormat { kBmp, kPng, kPdf, kSvg };

struct PictureType {
  PictureFormat format;
  const char* filter;  // name filter of the save dialog
  const char* suffix;  // extension without the dot
};

// The types offered, the default (BMP) first.
inline constexpr PictureType kPictureTypes[] = {
    {PictureFormat::kBmp, "Bitmap(*.bmp)", "bmp"},
    {PictureFormat::kPng, "PNG image(*.png)", "png"},
    {PictureFormat::kPdf, "PDF document(*.pdf)", "pdf"},
    {PictureFormat::kSvg, "SVG drawing(*.svg)", "svg"},
};

// The view's current picture (it must have been drawn) in memory; false when it cannot be
// encoded. BMP and PNG hold the bitmap's pixels; PDF and SVG draw the view again as vectors,
// one page of the bitmap's size at 96 units per inch.
bool EncodeGraphPicture(PlotView& view, PictureFormat format, QByteArray* out);
// Encodes and writes the file through the safe save; on failure *error (when given) says why.
bool SaveGraphPicture(PlotView& view, PictureFormat format, const std::string& path,
                      std::string* error);

}  // namespace tarn
