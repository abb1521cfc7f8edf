// The application's start and end: launch, permissions, key monitor, notices, windows, quitting.

#include "app/AppDelegate.h"

#include "platform/PreferenceKeys.h"

namespace vellotype {
namespace {

constexpr std::string_view kDefaultLocaleCode = "zh-CN";
// How long a panel starting with the desktop may take to offer its tray.
constexpr double kStatusAreaWait = 5;

// The program is driven through the X server, so what the user must do is about the session.
constexpr std::string_view kKeyboardAccessSteps =
    ").\n"
    "\n"
    "1. Log in to an X11 desktop session (on Wayland, keep XWayland enabled)\n"
    "2. Make sure the X server offers the XInput 2 extension\n"
    "3. Restart the app";

}  // namespace

AppDelegate::AppDelegate(Services services, Components components)
    : services_(std::move(services)),
      components_(std::move(components)),
      deliveries_(std::make_shared<OrderedDeliveries>(
          services_.mainQueue, [injector = components_.textInjector,
                                &sounds = services_.sounds](const std::string& text) {
            injector->inject(text);
            sounds.play("Pop");
          })) {}

MenuItem::Action AppDelegate::menuAction(void (AppDelegate::*method)()) {
  return [weak = weak_from_this(), method](MenuItem&) {
    if (auto self = weak.lock()) ((*self).*method)();
  };
}

OverlayPanelInterface& AppDelegate::overlayPanel() {
  if (!overlayPanel_) overlayPanel_ = components_.makeOverlayPanel();
  return *overlayPanel_;
}

HotkeySettingsWindowInterface& AppDelegate::hotkeySettingsWindow() {
  if (!hotkeySettingsWindow_) hotkeySettingsWindow_ = components_.makeHotkeySettingsWindow();
  return *hotkeySettingsWindow_;
}

SettingsWindowInterface& AppDelegate::settingsWindow() {
  if (!settingsWindow_) settingsWindow_ = components_.makeSettingsWindow();
  return *settingsWindow_;
}

SpeechServiceSettingsWindowInterface& AppDelegate::speechServiceSettingsWindow() {
  if (!speechServiceSettingsWindow_) {
    speechServiceSettingsWindow_ = components_.makeSpeechServiceSettingsWindow();
    // Which languages the service serves may have changed; no alert while the user is at it.
    speechServiceSettingsWindow_->onChange = [weak = weak_from_this()] {
      if (auto self = weak.lock()) self->components_.speechEngine->refreshRecognizer();
    };
  }
  return *speechServiceSettingsWindow_;
}

std::string AppDelegate::selectedLocaleCode() const {
  return services_.preferences.stringValue(prefs::kSelectedLocaleCode)
      .value_or(std::string(kDefaultLocaleCode));
}

void AppDelegate::applicationDidFinishLaunching() {
  const auto code = selectedLocaleCode();
  // "System Default" is stored as an empty code: give the engine the language the menu marks.
  components_.speechEngine->setLocale(code.empty() ? services_.workspace.currentLocaleIdentifier()
                                                   : code);
  setupMainMenu();
  setupStatusBar();
  setupSpeechCallbacks();
  components_.speechEngine->requestPermissions(weakly(&AppDelegate::handlePermissions));

  auto& monitor = *components_.keyMonitor;
  monitor.onKeyDown = weakly(&AppDelegate::triggerDown);
  monitor.onKeyUp = weakly(&AppDelegate::triggerUp);
  monitor.onChordKey = weakly(&AppDelegate::abandonRecording);
  components_.textInjector->onNotPasted = weakly(&AppDelegate::handleNotPasted);
  if (startKeyMonitor()) {
    showStartupNotices();
    offerSpeechSetup();
  }
}

void AppDelegate::handlePermissions(bool granted, std::optional<std::string> message) {
  if (!granted && message) showAlert("Permission Required", *message);
}

void AppDelegate::setupMainMenu() {
  auto applicationMenu = std::make_shared<Menu>();
  applicationMenu->addItem("Quit Vellotype", menuAction(&AppDelegate::quit), "q");

  auto editMenu = std::make_shared<Menu>("Edit");
  const auto addEdit = [&](std::string title, MenuItem::EditCommand command, std::string key) {
    editMenu->addItem(std::move(title), {}, std::move(key)).setEditCommand(command);
  };
  addEdit("Undo", MenuItem::EditCommand::undo, "z");
  addEdit("Redo", MenuItem::EditCommand::redo, "Z");
  editMenu->items().back()->setKeyEquivalentModifierMask(MenuItem::kCommandModifier |
                                                         MenuItem::kShiftModifier);
  editMenu->addSeparator();
  addEdit("Cut", MenuItem::EditCommand::cut, "x");
  addEdit("Copy", MenuItem::EditCommand::copy, "c");
  addEdit("Paste", MenuItem::EditCommand::paste, "v");
  addEdit("Select All", MenuItem::EditCommand::selectAll, "a");

  auto mainMenu = std::make_shared<Menu>();
  mainMenu->addItem("").setSubmenu(std::move(applicationMenu));
  mainMenu->addItem("Edit").setSubmenu(std::move(editMenu));
  services_.application.setMainMenu(std::move(mainMenu));
}

void AppDelegate::showAlert(const std::string& title, const std::string& message) {
  services_.alerts.runModal({.messageText = title,
                             .informativeText = message,
                             .style = Alert::Style::warning,
                             .buttons = {"OK"}});
}

bool AppDelegate::startKeyMonitor() {
  auto& monitor = *components_.keyMonitor;
  switch (monitor.start()) {
    case EventTap::StartResult::started:
      return true;
    case EventTap::StartResult::unavailable:
      // On Wayland there is no permission to grant that would let the program quit usefully:
      // it says what the desktop lacks and goes on, its menu and Retry still at hand.
      if (services_.workspace.isWaylandSession()) {
        const auto limitation =
            services_.keyboardLimitation ? services_.keyboardLimitation() : std::nullopt;
        showHotkeyProblem(limitation.value_or("Vellotype cannot hear its hotkey on this desktop."));
        return false;
      }
      showAccessibilityAlert();
      return false;
    case EventTap::StartResult::keyInUse: {
      // Quitting here would lock the user out for good: the key can only be changed from
      // inside the program.
      const auto& name = monitor.triggerKey().displayName;
      showAlert("Hotkey Unavailable",
                "Another program is already using " + name +
                    " as a shortcut, so Vellotype cannot watch it.\n\nChoose another key under "
                    "\"Hotkey\" in the Vellotype menu, or free " +
                    name + " in the other program.");
      return false;
    }
  }
  return false;
}

void AppDelegate::showAccessibilityAlert() {
  const Alert alert{
      .messageText = "Accessibility Permission Required",
      .informativeText =
          "Vellotype needs Accessibility permission to monitor the configured hotkey (" +
          components_.keyMonitor->triggerKey().displayName + std::string(kKeyboardAccessSteps),
      .style = Alert::Style::warning,
      .buttons = {"Open System Settings", "Quit"}};
  if (services_.alerts.runModal(alert) == 0) {
    services_.workspace.openURL(services_.keyboardAccessHelpURL);
  }
  services_.application.terminate();
}

void AppDelegate::showStartupNotices() {
  // Started at login, the program often comes up before the desktop's panel: give the panel
  // time before telling the user there is no tray. The icon appears whenever one does.
  services_.mainQueue.postAfter(kStatusAreaWait, [weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self || self->statusItem_->hasStatusArea()) return;
    const auto& name = self->components_.keyMonitor->triggerKey().displayName;
    self->showAlert("No System Tray",
                    "Vellotype found no system tray on this desktop, so its menu cannot be shown. "
                    "Holding " +
                        name +
                        " still records and types your words.\n\nTo change settings, add a "
                        "system tray (on GNOME, the AppIndicator extension): the icon appears "
                        "in it as soon as there is one.");
  });
  auto& preferences = services_.preferences;
  const auto limitation =
      services_.keyboardLimitation ? services_.keyboardLimitation() : std::nullopt;
  if (services_.workspace.isWaylandSession() && limitation &&
      !preferences.boolValue(prefs::kWaylandNoticeShown).value_or(false)) {
    preferences.setBool(prefs::kWaylandNoticeShown, true);
    showAlert("Wayland Session", *limitation);
  }
}

void AppDelegate::showHotkeyProblem(const std::string& problem) {
  showAlert("Hotkey Unavailable", problem);
}

void AppDelegate::quit() {
  components_.keyMonitor->stop();
  services_.application.terminate();
}

}  // namespace vellotype
