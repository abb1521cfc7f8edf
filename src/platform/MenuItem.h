#pragma once
// One entry of a menu, as data: title, on/off mark, key equivalent, what choosing it does.
// The view that shows it listens to onChange. Main thread only; shared by its menu and by
// whoever keeps a handle to change it later.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "values/ModifierFlags.h"

namespace vellotype {

class Menu;

class MenuItem {
 public:
  enum class State { off, on };
  // Editing commands that go to whatever has the keyboard focus, not to the application.
  enum class EditCommand { undo, redo, cut, copy, paste, selectAll };
  using Action = std::function<void(MenuItem& sender)>;

  // The key equivalent's default modifier: the platform's shortcut key (Command on macOS,
  // Control on Linux), in canonical flag bits.
  static constexpr std::uint64_t kCommandModifier = modifiers::kCommand;
  static constexpr std::uint64_t kShiftModifier = modifiers::kShift;

  explicit MenuItem(std::string title, Action action = {}, std::string keyEquivalent = {});
  static std::shared_ptr<MenuItem> separator();

  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  State state() const { return state_; }
  void setState(State state);
  bool isSeparatorItem() const { return isSeparator_; }

  const std::string& keyEquivalent() const { return keyEquivalent_; }
  std::uint64_t keyEquivalentModifierMask() const { return modifierMask_; }
  void setKeyEquivalentModifierMask(std::uint64_t mask) { modifierMask_ = mask; }

  const std::optional<std::string>& representedObject() const { return representedObject_; }
  void setRepresentedObject(std::optional<std::string> object) {
    representedObject_ = std::move(object);
  }
  const std::shared_ptr<Menu>& submenu() const { return submenu_; }
  void setSubmenu(std::shared_ptr<Menu> submenu) { submenu_ = std::move(submenu); }
  const std::optional<EditCommand>& editCommand() const { return editCommand_; }
  void setEditCommand(EditCommand command) { editCommand_ = command; }

  bool hasAction() const { return action_ != nullptr; }
  // What choosing the item does. Items without an action do nothing.
  void perform();

  // Called after the title or state changed.
  std::function<void()> onChange;

 private:
  void changed();

  std::string title_;
  Action action_;
  std::string keyEquivalent_;
  std::uint64_t modifierMask_ = kCommandModifier;
  State state_ = State::off;
  bool isSeparator_ = false;
  std::optional<std::string> representedObject_;
  std::shared_ptr<Menu> submenu_;
  std::optional<EditCommand> editCommand_;
};

}  // namespace vellotype
