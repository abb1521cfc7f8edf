#pragma once
// The correction service's settings window on the desktop: a fixed-size window with three
// fields, a status line, Test and Save; the speech service's window adds rows to it. Main thread
// only; owned by the settings window's logic.

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "platform/qt/QtTruncatingLabel.h"
#include "refinement/SettingsView.h"

namespace vellotype {

class QtSettingsView : public QWidget, public virtual SettingsView {
 public:
  QtSettingsView() : QtSettingsView("LLM Refinement Settings", kContentHeight) {}

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

  static constexpr int kContentHeight = 220;

 protected:
  QtSettingsView(const QString& title, int height);
  // A labelled row below the fields. The window keeps its height; fitToRows() makes it as tall
  // as its rows need.
  void addRow(const QString& label, QWidget* widget,
              Qt::Alignment labelAlignment = Qt::AlignVCenter);
  void fitToRows();

  void keyPressEvent(QKeyEvent* event) override;

 private:
  QGridLayout* grid_;
  std::array<QLineEdit*, 3> fields_{};
  QtTruncatingLabel* status_;
  QPushButton* test_;
  QPushButton* save_;
};

}  // namespace vellotype
