// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ui/graph_picture.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <memory>

#include "common/atomic_file.h"
#include "graph/ui/painter_surface.h"
#include "graph/ui/qimage_surface.h"

namespace tarn {

namespace {

// One picture unit is one bitmap pixel at 96 dots per inch.
constexpr int kUnitsPerInch = 96;

bool EncodeVector(PlotView& view, PictureFormat format, QBuffer* buffer) {
  const int w = view.engine.gBaseW, h = view.engine.gBaseH;
  const QString title = QString::fromUtf8(view.engine.gTitle.c_str());
  QPainter painter;
  std::unique_ptr<QSvgGenerator> svg;
  std::unique_ptr<QPdfWriter> pdf;
  if (format == PictureFormat::kSvg) {
    svg = std::make_unique<QSvgGenerator>();
    svg->setOutputDevice(buffer);
    svg->setResolution(kUnitsPerInch);
    svg->setSize(QSize(w, h));
    svg->setViewBox(QRect(0, 0, w, h));
    svg->setTitle(title);
    if (!painter.begin(svg.get())) return false;
  } else {
    pdf = std::make_unique<QPdfWriter>(buffer);
    pdf->setResolution(kUnitsPerInch);
    pdf->setTitle(title);
    pdf->setCreator(QStringLiteral("Tarn"));
    const QPageSize page(QSizeF(w * 72.0 / kUnitsPerInch, h * 72.0 / kUnitsPerInch),
                         QPageSize::Point, QString(), QPageSize::ExactMatch);
    pdf->setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF()));
    if (!painter.begin(pdf.get())) return false;
  }
  view.RenderOn(std::make_unique<PainterSurface>(&painter, w, h));
  return painter.end();
}

}  // namespace

bool EncodeGraphPicture(PlotView& view, PictureFormat format, QByteArray* out) {
  auto* bitmap = dynamic_cast<QImageSurface*>(view.surface());
  if (bitmap == nullptr) return false;
  out->clear();
  QBuffer buffer(out);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  switch (format) {
    case PictureFormat::kBmp:
      return bitmap->image().save(&buffer, "BMP");
    case PictureFormat::kPng:
      return bitmap->image().save(&buffer, "PNG");
    case PictureFormat::kPdf:
    case PictureFormat::kSvg:
      return EncodeVector(view, format, &buffer) && !out->isEmpty();
  }
  return false;
}

bool SaveGraphPicture(PlotView& view, PictureFormat format, const std::string& path,
                      std::string* error) {
  QByteArray bytes;
  if (!EncodeGraphPicture(view, format, &bytes)) {
    if (error) *error = "The picture could not be encoded.";
    return false;
  }
  const Status saved = WriteFileAtomically(path, std::string_view(bytes.constData(), bytes.size()));
  if (!saved && error) *error = saved.message;
  return saved.ok;
}

}  // namespace tarn
