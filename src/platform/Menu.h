#pragma once
// A menu as data: a title and its items in order, shown by the platform's menu views.
// Main thread only; shared by whoever shows it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/MenuItem.h"

namespace vellotype {

class Menu {
 public:
  explicit Menu(std::string title = {}) : title_(std::move(title)) {}

  const std::string& title() const { return title_; }
  const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }

  MenuItem& addItem(std::shared_ptr<MenuItem> item) {
    items_.push_back(std::move(item));
    return *items_.back();
  }
  MenuItem& addItem(std::string title, MenuItem::Action action = {},
                    std::string keyEquivalent = {}) {
    return addItem(
        std::make_shared<MenuItem>(std::move(title), std::move(action), std::move(keyEquivalent)));
  }
  void addSeparator() { addItem(MenuItem::separator()); }

  // Called just before the menu is shown, to bring items that mirror something outside the
  // program up to date.
  std::function<void()> onWillOpen;

 private:
  std::string title_;
  std::vector<std::shared_ptr<MenuItem>> items_;
};

}  // namespace vellotype
