#pragma once
// Keeps the trigger key in the preferences store. Main thread only, like the store; stateless.

#include "platform/Preferences.h"
#include "values/TriggerKey.h"

namespace vellotype {

class TriggerKeyPreferences {
 public:
  // Never fails: anything absent or unusable in the store yields the default key.
  static TriggerKey load(const Preferences& preferences);
  static void save(const TriggerKey& key, Preferences& preferences);
};

}  // namespace vellotype
