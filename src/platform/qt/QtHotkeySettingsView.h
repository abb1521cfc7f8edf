#pragma once
// The hotkey settings window on the desktop: a small fixed-size window with the current key,
// a status line and three buttons, and the program-wide key capture as an application event
// filter. Main thread only; owned by HotkeySettingsWindow.

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <optional>

#include "hotkey/HotkeySettingsView.h"
#include "platform/qt/QtKeyCapture.h"

namespace vellotype {

class QtHotkeySettingsView : public QWidget, public HotkeySettingsView {
 public:
  QtHotkeySettingsView();
  ~QtHotkeySettingsView() override;

  void build(const Layout& layout) override;
  void center() override;
  void setCurrentKeyText(const std::string& text) override;
  void setStatus(const std::string& text, TextColor color) override;
  void installCapture(CaptureHandler handler) override;
  void removeCapture() override;
  void makeKeyAndOrderFront() override;
  void orderOut() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The shade of a text colour in the window's current palette.
  QColor color(TextColor color) const;
  void paintStatus();

  QLabel* currentKey_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* done_ = nullptr;
  TextColor statusColor_ = TextColor::secondaryLabel;
  CaptureHandler capture_;
  std::optional<QtKeyCapture> translator_;
};

}  // namespace vellotype
