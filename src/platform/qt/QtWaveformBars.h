#pragma once
// The capsule's five level bars as a Qt widget: white rounded rectangles that glide to the
// frames they are given. Main thread only; a child of the overlay window.

#include <QVariantAnimation>
#include <QWidget>
#include <array>

#include "visual/WaveformBars.h"

namespace vellotype {

class QtWaveformBars : public QWidget, public WaveformBars {
 public:
  explicit QtWaveformBars(QWidget* parent);

  Rect bounds() const override;
  void setBarFrames(const std::array<Rect, 5>& frames, double duration, TimingCurve curve) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::array<QRectF, 5> from_{}, to_{}, shown_{};
  QVariantAnimation glide_;
};

}  // namespace vellotype
