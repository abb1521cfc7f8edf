#pragma once
// What the hotkey settings window's logic needs of its on-screen window: the controls, two
// labels to fill, and a program-wide key capture. Main thread only; owned by the window's logic.

#include <array>
#include <functional>
#include <string>

#include "values/KeyEvent.h"

namespace vellotype {

class HotkeySettingsView {
 public:
  // Colours that follow the desktop's appearance; the platform picks the shades.
  enum class TextColor { label, secondaryLabel, systemBlue, systemGreen };

  struct Font {
    double size = 0;  // points, the unit of the window's geometry
    bool semibold = false;
  };

  // Everything the window shows that never changes. Lengths are in points.
  struct Layout {
    std::string title;
    double contentWidth = 0;
    double contentHeight = 0;
    std::string currentKeyCaption;
    Font currentKeyFont;
    Font statusFont;
    int statusMaxLines = 0;
    // Record, Reset, Done, left to right; Return presses the last one.
    std::array<std::string, 3> buttonTitles;
    double gridTop = 0;
    double sideMargin = 0;
    double gridRowSpacing = 0;
    double gridColumnSpacing = 0;
    double statusTop = 0;   // below the grid
    double buttonsTop = 0;  // below the status line
    double bottomMargin = 0;
    double buttonSpacing = 0;
  };

  // Says whether the event is taken; an event not taken goes on as if no capture were there.
  using CaptureHandler = std::function<bool(const KeyEvent&)>;

  virtual ~HotkeySettingsView() = default;

  // Called once, before anything else.
  virtual void build(const Layout& layout) = 0;
  virtual void center() = 0;
  virtual void setCurrentKeyText(const std::string& text) = 0;
  virtual void setStatus(const std::string& text, TextColor color) = 0;
  // From now on every key press, release and modifier change anywhere in the program goes to
  // `handler` first, ahead of every window and shortcut. Mouse clicks are left alone.
  virtual void installCapture(CaptureHandler handler) = 0;
  virtual void removeCapture() = 0;
  virtual void makeKeyAndOrderFront() = 0;
  virtual void orderOut() = 0;

  std::function<void()> onRecord;
  std::function<void()> onReset;
  std::function<void()> onDone;
  // The window's own close button.
  std::function<void()> onCloseButton;
};

}  // namespace vellotype
