#pragma once
// Paints a VectorImage as an icon at whatever size and pixel density is asked for, its strokes
// in one colour over the image's outline. Main thread only; owned by the QIcon that holds it.

#include <QColor>
#include <QIconEngine>

#include "values/VectorImage.h"

namespace vellotype {

class VectorIconEngine : public QIconEngine {
 public:
  // The image must outlive the engine.
  VectorIconEngine(const VectorImage& image, QColor color);

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
  QIconEngine* clone() const override;
  QString key() const override { return "vellotype-vector"; }

 private:
  // Every path, `widening` wider than its own line width.
  void stroke(QPainter& painter, const QColor& color, double widening) const;

  const VectorImage& image_;
  QColor color_;
};

}  // namespace vellotype
