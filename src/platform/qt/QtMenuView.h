#pragma once
// Shows a Menu model as a QMenu and keeps it in step with the model's titles and marks.
// Main thread only; owned by the status item that shows it.

#include <QMenu>
#include <memory>

#include "platform/Menu.h"

namespace vellotype {

class QtMenuView {
 public:
  explicit QtMenuView(std::shared_ptr<Menu> menu);
  ~QtMenuView();

  QMenu* menu() { return &root_; }

 private:
  void fill(QMenu& view, const Menu& model);

  std::shared_ptr<Menu> model_;
  QMenu root_;
  std::vector<std::shared_ptr<MenuItem>> watched_;
};

}  // namespace vellotype
