#pragma once
// The correction service's settings: endpoint, key and model, stored on Save or Test, and a
// trial request whose outcome shows in the status line. Main thread only; made by the
// application object on first use and kept, always through a shared_ptr (replies hold it weakly).

#include <memory>
#include <string_view>

#include "platform/Preferences.h"
#include "refinement/RefinerInterface.h"
#include "refinement/SettingsView.h"
#include "refinement/SettingsWindowInterface.h"

namespace vellotype {

class SettingsWindow : public SettingsWindowInterface,
                       public std::enable_shared_from_this<SettingsWindow> {
 public:
  static constexpr std::string_view kTestText = "Hello, this is a test.";
  static constexpr std::string_view kKeyPlaceholder = "sk-...";

  SettingsWindow(Preferences& preferences, RefinerInterface& refiner,
                 std::unique_ptr<SettingsView> view);

  void makeKeyAndOrderFront() override;

  // Stores every field exactly as typed, but for line breaks around the key (see APIKeyField);
  // returns whether the status line says some were removed.
  bool applyFields();
  void test();
  void save();

 private:
  void showResult(const RefineResult& result);

  Preferences& preferences_;
  RefinerInterface& refiner_;
  std::unique_ptr<SettingsView> view_;
};

}  // namespace vellotype
