#pragma once
// What the correction service's settings window needs of its widgets: three text fields, a
// status line, Test and Save. Main thread only; owned by the settings window.

#include <functional>
#include <string>

namespace vellotype {

class SettingsView {
 public:
  enum class Field { baseURL, apiKey, model };
  // Colours named by meaning; the toolkit picks the shade that suits its theme.
  enum class StatusColor { secondaryLabel, systemRed, systemGreen };

  virtual ~SettingsView() = default;

  // What the field holds now, as the user typed it.
  virtual std::string text(Field field) const = 0;
  virtual void setText(Field field, const std::string& text) = 0;
  virtual void setPlaceholder(Field field, const std::string& placeholder) = 0;
  virtual void setStatus(const std::string& text, StatusColor color) = 0;

  // Places the window in the middle of the main screen.
  virtual void center() = 0;
  virtual void makeKeyAndOrderFront() = 0;
  // Hides the window; it keeps its fields and status for the next time it is shown.
  virtual void orderOut() = 0;

  std::function<void()> onTest;
  // The Save button, which is also the default button: Return anywhere in the window.
  std::function<void()> onSave;
};

}  // namespace vellotype
