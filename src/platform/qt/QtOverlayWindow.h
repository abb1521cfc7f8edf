#pragma once
// The capsule's window on X11: frameless, translucent, always on top, never focused and
// transparent to the mouse, placed exactly (it bypasses the window manager). Without a
// compositor it falls back to a rounded shape. Main thread only; owned by the overlay panel.

#include <QLabel>
#include <QVariantAnimation>
#include <QWidget>
#include <memory>

#include "platform/qt/QtWaveformBars.h"
#include "visual/OverlayWindow.h"

namespace vellotype {

class QtOverlayWindow : public QWidget, public OverlayWindow {
 public:
  QtOverlayWindow();

  std::optional<Rect> mainScreenVisibleFrame() const override;
  double measureTextWidth(const std::string& text) const override;
  void setText(const std::string& text) override;
  Rect frame() const override { return modelFrame_; }
  void setFrame(const Rect& frame) override;
  void setAlpha(double alpha) override;
  void orderFrontRegardless() override;
  void orderOut() override;
  void animate(const Animation& animation, std::function<void()> completion) override;
  WaveformBars& waveformBars() override { return *bars_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool hasCompositor() const;
  void showText();
  void layOutLabel();
  static int labelWidthFor(const Rect& frame);
  void place(const Rect& frame);
  void applyAlpha(double alpha);

  QtWaveformBars* bars_;
  QLabel* label_;
  QString text_;
  Rect frame_;       // shown now
  Rect modelFrame_;  // shown now, or once the running animation arrives
  double alpha_ = 1;
  int textWidth_ = 0;  // the label's: the capsule's, except while it fades away
  bool translucent_ = true;
  // Frame and alpha animate apart: a new text resizes the capsule while it still fades in.
  std::unique_ptr<QVariantAnimation> frameAnimation_;
  std::unique_ptr<QVariantAnimation> alphaAnimation_;
};

}  // namespace vellotype
