#pragma once
// A cubic timing curve as Qt's easing curve, control points as given. Pure.

#include <QEasingCurve>

#include "visual/Geometry.h"

namespace vellotype {

inline QEasingCurve animationCurve(const TimingCurve& curve) {
  QEasingCurve easing(QEasingCurve::BezierSpline);
  easing.addCubicBezierSegment(QPointF(curve.x1, curve.y1), QPointF(curve.x2, curve.y2),
                               QPointF(1, 1));
  return easing;
}

}  // namespace vellotype
