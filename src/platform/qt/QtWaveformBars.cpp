#include "platform/qt/QtWaveformBars.h"

#include <QPainter>

#include "platform/qt/QtAnimationCurve.h"
#include "visual/WaveformView.h"

namespace vellotype {
namespace {

QRectF between(const QRectF& a, const QRectF& b, double t) {
  return {a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t,
          a.width() + (b.width() - a.width()) * t, a.height() + (b.height() - a.height()) * t};
}

}  // namespace

QtWaveformBars::QtWaveformBars(QWidget* parent) : QWidget(parent) {
  glide_.setStartValue(0.0);
  glide_.setEndValue(1.0);
  connect(&glide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    const double t = value.toDouble();
    for (std::size_t i = 0; i < shown_.size(); ++i) shown_[i] = between(from_[i], to_[i], t);
    update();
  });
}

Rect QtWaveformBars::bounds() const { return {0, 0, double(width()), double(height())}; }

void QtWaveformBars::setBarFrames(const std::array<Rect, 5>& frames, double duration,
                                  TimingCurve curve) {
  glide_.stop();
  from_ = shown_;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    // Bars are centred vertically, so the flip between upward and downward y changes nothing.
    to_[i] = QRectF(frames[i].x, frames[i].y, frames[i].width, frames[i].height);
  }
  if (duration <= 0) {
    shown_ = to_;
    update();
    return;
  }
  glide_.setDuration(int(duration * 1000));
  glide_.setEasingCurve(animationCurve(curve));
  glide_.start();
}

void QtWaveformBars::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.9f));
  for (const auto& bar : shown_) {
    painter.drawRoundedRect(bar, WaveformView::kCornerRadius, WaveformView::kCornerRadius);
  }
}

void QtWaveformBars::resizeEvent(QResizeEvent*) {
  if (onLayout) onLayout();
}

}  // namespace vellotype
