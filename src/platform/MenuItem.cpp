#include "platform/MenuItem.h"

namespace vellotype {

MenuItem::MenuItem(std::string title, Action action, std::string keyEquivalent)
    : title_(std::move(title)),
      action_(std::move(action)),
      keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::separator() {
  auto item = std::make_shared<MenuItem>("");
  item->isSeparator_ = true;
  return item;
}

void MenuItem::setTitle(std::string title) {
  title_ = std::move(title);
  changed();
}

void MenuItem::setState(State state) {
  state_ = state;
  changed();
}

void MenuItem::perform() {
  if (action_) action_(*this);
}

void MenuItem::changed() {
  if (onChange) onChange();
}

}  // namespace vellotype
