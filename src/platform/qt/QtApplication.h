#pragma once
// The running Qt application: quits, comes to the front, and makes the main menu's key
// equivalents work in every window of the program. Main thread only; owned by the composition
// root, after the QApplication.

#include <QObject>
#include <memory>

#include "platform/Application.h"

namespace vellotype {

class QtApplication : public QObject, public Application {
 public:
  QtApplication();
  ~QtApplication() override;

  void setMainMenu(std::shared_ptr<Menu> menu) override;
  void activateIgnoringOtherApps() override;
  void terminate() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::shared_ptr<Menu> mainMenu_;
};

}  // namespace vellotype
