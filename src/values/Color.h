#pragma once
// An sRGB colour with alpha, components in 0…1. A plain value, usable on any thread.

namespace vellotype {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  bool operator==(const Color&) const = default;

  static constexpr Color black(double alpha = 1) { return {0, 0, 0, alpha}; }
  static constexpr Color white(double alpha = 1) { return {1, 1, 1, alpha}; }
  // The desktop's "system" red, green and blue, as used for alerts and status lines.
  static constexpr Color systemRed() { return {1.0, 0.231, 0.188, 1}; }
  static constexpr Color systemGreen() { return {0.204, 0.780, 0.349, 1}; }
  static constexpr Color systemBlue() { return {0.0, 0.478, 1.0, 1}; }
};

}  // namespace vellotype
