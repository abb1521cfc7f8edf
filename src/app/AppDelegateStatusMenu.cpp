// The tray icon and its menu: building them, and what each menu command does.

#include <array>
#include <string_view>

#include "app/AppDelegate.h"
#include "platform/PreferenceKeys.h"
#include "visual/StatusBarIcon.h"

namespace vellotype {
namespace {

struct Language {
  std::string_view displayName;
  std::string_view code;  // empty: the system's current language
};

constexpr std::array<Language, 6> kLanguages = {{
    {"System Default", ""},
    {"English (US)", "en-US"},
    {"\u4e2d\u6587 (\u7b80\u4f53)", "zh-CN"},
    {"\u4e2d\u6587 (\u7e41\u9ad4)", "zh-TW"},
    {"\u65e5\u672c\u8a9e", "ja-JP"},
    {"\ud55c\uad6d\uc5b4", "ko-KR"},
}};

MenuItem::State stateFor(bool on) { return on ? MenuItem::State::on : MenuItem::State::off; }

}  // namespace

void AppDelegate::setupStatusBar() {
  statusItem_ = services_.statusBar.statusItem(StatusBar::kSquareLength);
  updateStatusIcon(false);

  auto menu = std::make_shared<Menu>();
  enableMenuItem_ = std::make_shared<MenuItem>("Enabled", menuAction(&AppDelegate::toggleEnabled));
  enableMenuItem_->setState(MenuItem::State::on);
  menu->addItem(enableMenuItem_);
  startAtLoginMenuItem_ =
      std::make_shared<MenuItem>("Start at Login", menuAction(&AppDelegate::toggleStartAtLogin));
  updateStartAtLoginMenuItem();
  menu->addItem(startAtLoginMenuItem_);
  hotkeyMenuItem_ = std::make_shared<MenuItem>("", menuAction(&AppDelegate::openHotkeySettings));
  updateHotkeyMenuItemTitle();
  menu->addItem(hotkeyMenuItem_);
  menu->addItem("Retry Last Recording", menuAction(&AppDelegate::retryLastRecording));
  menu->addSeparator();

  auto languageMenu = std::make_shared<Menu>("Language");
  const auto selected = selectedLocaleCode();
  for (const auto& language : kLanguages) {
    auto item = std::make_shared<MenuItem>(std::string(language.displayName),
                                           weakly(&AppDelegate::changeLanguage));
    item->setRepresentedObject(std::string(language.code));
    item->setState(stateFor(language.code == selected));
    languageItems_.push_back(item);
    languageMenu->addItem(std::move(item));
  }
  languageMenu->addSeparator();
  languageMenu->addItem("Speech Service...", menuAction(&AppDelegate::openSpeechServiceSettings));
  menu->addItem("Language").setSubmenu(std::move(languageMenu));

  auto llmMenu = std::make_shared<Menu>("LLM Refinement");
  llmMenuItem_ = std::make_shared<MenuItem>("Enabled", menuAction(&AppDelegate::toggleLLM));
  llmMenuItem_->setState(
      stateFor(services_.preferences.boolValue(prefs::kLLMEnabled).value_or(false)));
  llmMenu->addItem(llmMenuItem_);
  llmMenu->addSeparator();
  llmMenu->addItem("Settings...", menuAction(&AppDelegate::openLLMSettings));
  menu->addItem("LLM Refinement").setSubmenu(std::move(llmMenu));

  menu->addSeparator();
  menu->addItem("Quit Vellotype", menuAction(&AppDelegate::quit), "q");
  // The user may add or remove the autostart entry by hand between two looks at the menu.
  menu->onWillOpen = weakly(&AppDelegate::updateStartAtLoginMenuItem);
  statusItem_->setMenu(std::move(menu));
}

void AppDelegate::updateStatusIcon(bool recording) {
  auto* button = statusItem_ ? statusItem_->button() : nullptr;
  if (!button) return;
  button->setImage(StatusBarIcon::image(recording));
  button->setImagePosition(StatusItemButton::ImagePosition::imageOnly);
  button->setToolTip(recording ? "Vellotype is listening" : "Vellotype");
  button->setContentTintColor(recording ? std::optional(Color::systemRed()) : std::nullopt);
}

void AppDelegate::updateHotkeyMenuItemTitle() {
  if (!hotkeyMenuItem_) return;
  // The desktop may have bound another key than the one asked for: the one that works is shown.
  const auto bound = services_.boundHotkeyName ? services_.boundHotkeyName() : std::nullopt;
  hotkeyMenuItem_->setTitle(
      "Hotkey: " + bound.value_or(components_.keyMonitor->triggerKey().displayName) + "...");
}

void AppDelegate::toggleEnabled() {
  isEnabled_ = !isEnabled_;
  if (enableMenuItem_) enableMenuItem_->setState(stateFor(isEnabled_));
  if (isEnabled_) {
    startKeyMonitor();
    return;
  }
  components_.keyMonitor->stop();
  abandonRecording();
}

void AppDelegate::updateStartAtLoginMenuItem() {
  if (startAtLoginMenuItem_) {
    startAtLoginMenuItem_->setState(stateFor(services_.loginItems.isEnabled()));
  }
}

void AppDelegate::toggleStartAtLogin() {
  // The change the user asked for is the opposite of the mark they saw.
  const bool wanted = startAtLoginMenuItem_ ? startAtLoginMenuItem_->state() == MenuItem::State::off
                                            : !services_.loginItems.isEnabled();
  const auto problem = services_.loginItems.setEnabled(wanted);
  // Marked as things now are, whether the change was made or not.
  updateStartAtLoginMenuItem();
  if (problem) {
    showAlert("Start at Login Unchanged",
              "Vellotype could not change its start at login: " + *problem + ".");
  }
}

void AppDelegate::openHotkeySettings() {
  if (isEnabled_) components_.keyMonitor->stop();
  // With the monitor stopped the release would never be seen, and the recording would run on.
  abandonRecording();

  auto& window = hotkeySettingsWindow();
  window.reload();
  window.onHotkeyChanged = [weak = weak_from_this()](const TriggerKey& key) {
    if (auto self = weak.lock()) {
      self->components_.keyMonitor->setTriggerKey(key);
      self->updateHotkeyMenuItemTitle();
    }
  };
  window.onClosed = [weak = weak_from_this()] {
    if (auto self = weak.lock(); self && self->isEnabled_) self->startKeyMonitor();
  };
  window.makeKeyAndOrderFront();
  services_.application.activateIgnoringOtherApps();
}

void AppDelegate::changeLanguage(MenuItem& sender) {
  if (!sender.representedObject()) return;
  const std::string code = *sender.representedObject();
  services_.preferences.setString(prefs::kSelectedLocaleCode, code);
  components_.speechEngine->setLocale(code.empty() ? services_.workspace.currentLocaleIdentifier()
                                                   : code);
  for (const auto& item : languageItems_) {
    item->setState(stateFor(item->representedObject() == code));
  }
}

void AppDelegate::toggleLLM() {
  auto& preferences = services_.preferences;
  preferences.setBool(prefs::kLLMEnabled,
                      !preferences.boolValue(prefs::kLLMEnabled).value_or(false));
  if (llmMenuItem_) {
    llmMenuItem_->setState(stateFor(preferences.boolValue(prefs::kLLMEnabled).value_or(false)));
  }
}

void AppDelegate::openLLMSettings() {
  settingsWindow().makeKeyAndOrderFront();
  services_.application.activateIgnoringOtherApps();
}

void AppDelegate::openSpeechServiceSettings() {
  speechServiceSettingsWindow().makeKeyAndOrderFront();
  services_.application.activateIgnoringOtherApps();
}

void AppDelegate::offerSpeechSetup() {
  if (components_.speechEngine->hasRecognizer()) return;
  const auto code = selectedLocaleCode();
  std::string name = code.empty() ? services_.workspace.currentLocaleIdentifier() : code;
  for (const auto& language : kLanguages) {
    if (!code.empty() && language.code == code) name = language.displayName;
  }
  // Said once at start rather than found out at the first press, when the words would be lost.
  const auto choice = services_.alerts.runModal(
      {.messageText = "Set Up Speech Recognition",
       .informativeText =
           "Vellotype cannot recognise " + name +
           " yet: no speech model for it is installed on this computer, and no speech service "
           "is set up for it.\n\nSet up a speech service (a hosted one, or a Whisper server on "
           "this computer), or use English (US), which is recognised on this computer.",
       .style = Alert::Style::warning,
       .buttons = {"Set Up Speech Service...", "Use English (US)", "Later"}});
  if (choice == 0) {
    openSpeechServiceSettings();
  } else if (choice == 1) {
    for (const auto& item : languageItems_) {
      if (item->representedObject() == "en-US") changeLanguage(*item);
    }
  }
}

}  // namespace vellotype
