#include "platform/qt/QtAlerts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace vellotype {
namespace {

QMessageBox::Icon iconFor(Alert::Style style) {
  switch (style) {
    case Alert::Style::warning:
      return QMessageBox::Warning;
    case Alert::Style::critical:
      return QMessageBox::Critical;
    case Alert::Style::informational:
      return QMessageBox::Information;
  }
  return QMessageBox::Warning;
}

}  // namespace

std::size_t QtAlerts::runModal(const Alert& alert) {
  QMessageBox box(iconFor(alert.style), "Vellotype", QString::fromStdString(alert.messageText));
  box.setInformativeText(QString::fromStdString(alert.informativeText));
  // The program has no window of its own to sit in front of: the alert must come to the front
  // of whatever the user is doing.
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  std::vector<QAbstractButton*> buttons;
  for (const auto& title : alert.buttons) {
    buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
  }
  if (buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
  box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
  box.setEscapeButton(buttons.back());
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return i;
  }
  return buttons.size() - 1;
}

}  // namespace vellotype
