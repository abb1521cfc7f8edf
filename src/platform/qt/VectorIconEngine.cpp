#include "platform/qt/VectorIconEngine.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace vellotype {
namespace {

Qt::PenCapStyle qtCap(StrokedPath::Cap cap) {
  switch (cap) {
    case StrokedPath::Cap::round:
      return Qt::RoundCap;
    case StrokedPath::Cap::square:
      return Qt::SquareCap;
    case StrokedPath::Cap::butt:
      return Qt::FlatCap;
  }
  return Qt::FlatCap;
}

Qt::PenJoinStyle qtJoin(StrokedPath::Join join) {
  switch (join) {
    case StrokedPath::Join::round:
      return Qt::RoundJoin;
    case StrokedPath::Join::bevel:
      return Qt::BevelJoin;
    case StrokedPath::Join::miter:
      return Qt::MiterJoin;
  }
  return Qt::MiterJoin;
}

}  // namespace

VectorIconEngine::VectorIconEngine(const VectorImage& image, QColor color)
    : image_(image), color_(color) {}

void VectorIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  // Fit the drawing into the rectangle, centred, keeping its proportions.
  const double scale = std::min(rect.width() / image_.width, rect.height() / image_.height);
  painter->translate(rect.x() + (rect.width() - image_.width * scale) / 2,
                     rect.y() + (rect.height() + image_.height * scale) / 2);
  painter->scale(scale, image_.flipped ? scale : -scale);
  if (image_.flipped) painter->translate(0, -image_.height);

  const double alpha = mode == QIcon::Disabled ? 0.4 : 1;
  // Every outline first, so that none covers a neighbouring stroke.
  if (image_.outlineWidth > 0) {
    const auto& c = image_.outlineColor;
    stroke(*painter,
           QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha * alpha)),
           2 * image_.outlineWidth);
  }
  QColor color = color_;
  color.setAlphaF(float(color.alphaF() * alpha));
  stroke(*painter, color, 0);
  painter->restore();
}

void VectorIconEngine::stroke(QPainter& painter, const QColor& color, double widening) const {
  for (const auto& path : image_.paths) {
    QPainterPath line;
    for (const auto& segment : path.segments) {
      line.moveTo(segment.from.x, segment.from.y);
      line.lineTo(segment.to.x, segment.to.y);
    }
    painter.strokePath(line, QPen(color, path.lineWidth + widening, Qt::SolidLine, qtCap(path.cap),
                                  qtJoin(path.join)));
  }
}

QPixmap VectorIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  paint(&painter, QRect(QPoint(0, 0), size), mode, state);
  return pixmap;
}

QIconEngine* VectorIconEngine::clone() const { return new VectorIconEngine(image_, color_); }

}  // namespace vellotype
