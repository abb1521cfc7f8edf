#include "insertion/TextInjector.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

constexpr double kSwitchPause = 0.05;
constexpr double kInputSourceRestoreDelay = 0.3;
constexpr double kPasteboardRestoreDelay = 0.5;

// US and ABC on a Mac, and the plain US layout of IBus and Fcitx5, are equally good.
constexpr std::array<std::string_view, 4> kDesignatedLayouts = {
    "com.apple.keylayout.ABC", "com.apple.keylayout.US", "xkb:us::eng", "keyboard-us"};

// The V key's position: the Linux paste modifier is Control.
constexpr std::uint16_t kVKeyCode = 9;

// Terminals take Control+V as a character of its own and paste with Control+Shift+V.
constexpr std::array<std::string_view, 22> kTerminals = {"gnome-terminal",
                                                         "gnome-terminal-server",
                                                         "org.gnome.console",
                                                         "kgx",
                                                         "konsole",
                                                         "xterm",
                                                         "uxterm",
                                                         "xfce4-terminal",
                                                         "alacritty",
                                                         "kitty",
                                                         "tilix",
                                                         "terminator",
                                                         "urxvt",
                                                         "rxvt",
                                                         "st",
                                                         "st-256color",
                                                         "foot",
                                                         "wezterm",
                                                         "org.wezfurlong.wezterm",
                                                         "qterminal",
                                                         "lxterminal",
                                                         "mate-terminal"};

bool isTerminal(const std::vector<std::string>& classes) {
  return std::any_of(classes.begin(), classes.end(), [](const std::string& name) {
    return std::find(kTerminals.begin(), kTerminals.end(), name) != kTerminals.end();
  });
}

}  // namespace

TextInjector::TextInjector(Pasteboard& pasteboard, InputSources& inputSources,
                           KeyboardEvents& keyboard, MainQueue& mainQueue)
    : pasteboard_(pasteboard),
      inputSources_(inputSources),
      keyboard_(keyboard),
      mainQueue_(mainQueue) {}

void TextInjector::inject(const std::string& text) {
  if (text.empty()) return;

  // While an earlier injection's text is still on the clipboard, the user's own contents are
  // the ones that earlier injection kept: those are what must come back.
  PasteboardContents userContents =
      pendingRestore_ && pasteboard_.changeCount() == pendingRestore_->injectedChangeCount
          ? pendingRestore_->userContents
          : pasteboard_.contents();
  pasteboard_.setString(text);
  const auto injectedChangeCount = pasteboard_.changeCount();
  pendingRestore_ = PendingRestore{std::move(userContents), injectedChangeCount};

  const auto current = inputSources_.current();
  bool switched = false;
  if (current && !current->isASCIICapable) {
    if (const auto latin = findASCIICapableSource()) {
      inputSources_.select(*latin);
      mainQueue_.blockFor(kSwitchPause);
    }
    switched = true;
  }

  postPasteChord();

  if (switched) {
    mainQueue_.postAfter(kInputSourceRestoreDelay,
                         [&sources = inputSources_, source = *current] { sources.select(source); });
  }
  mainQueue_.postAfter(kPasteboardRestoreDelay, [weak = weak_from_this(), injectedChangeCount] {
    if (auto self = weak.lock()) self->restorePasteboard(injectedChangeCount);
  });
}

void TextInjector::restorePasteboard(std::int64_t injectedChangeCount) {
  // Anything put on the clipboard since (the user's next copy, or a later injection that will
  // restore the user's contents itself) stays.
  if (pasteboard_.changeCount() == injectedChangeCount && pendingRestore_) {
    // Nobody pasted it (the focus was on the desktop, or on a window that ignores the
    // keystroke): putting the old contents back would lose the user's words for good.
    if (!pasteboard_.textWasRead()) {
      pendingRestore_.reset();
      if (onNotPasted) onNotPasted();
      return;
    }
    pasteboard_.setContents(pendingRestore_->userContents);
  }
  if (pendingRestore_ && pendingRestore_->injectedChangeCount == injectedChangeCount) {
    pendingRestore_.reset();
  }
}

std::optional<InputSource> TextInjector::findASCIICapableSource() {
  const auto sources = inputSources_.enabledASCIICapableSources();
  if (!sources || sources->empty()) return std::nullopt;
  for (const auto& source : *sources) {
    if (std::find(kDesignatedLayouts.begin(), kDesignatedLayouts.end(), source.identifier) !=
        kDesignatedLayouts.end()) {
      return source;
    }
  }
  return sources->front();
}

void TextInjector::postPasteChord() {
  const auto flags = isTerminal(keyboard_.focusedWindowClasses())
                         ? modifiers::kControl | modifiers::kShift
                         : modifiers::kControl;
  keyboard_.postKeyChord(kVKeyCode, flags);
}

}  // namespace vellotype
