#pragma once
// The correction service's settings window on the desktop: a fixed-size window with three
// fields, a status line, Test and Save. Main thread only; owned by the settings window's logic.

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "platform/qt/QtTruncatingLabel.h"
#include "refinement/SettingsView.h"

namespace vellotype {

class QtSettingsView : public QWidget, public SettingsView {
 public:
  QtSettingsView();

  std::string text(Field field) const override;
  void setText(Field field, const std::string& text) override;
  void setPlaceholder(Field field, const std::string& placeholder) override;
  void setStatus(const std::string& text, StatusColor color) override;
  void center() override;
  void makeKeyAndOrderFront() override;
  void orderOut() override;

  QLineEdit& field(Field field) const { return *fields_[std::size_t(field)]; }
  QtTruncatingLabel& statusLabel() const { return *status_; }
  QPushButton& testButton() const { return *test_; }
  QPushButton& saveButton() const { return *save_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::array<QLineEdit*, 3> fields_{};
  QtTruncatingLabel* status_;
  QPushButton* test_;
  QPushButton* save_;
};

}  // namespace vellotype
