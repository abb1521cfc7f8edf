#pragma once
// The IBus engines the user enabled, in the user's order, from IBus's GSettings: the daemon keeps
// no such list. Main thread only; owned by IBusInputSources.

#include <optional>
#include <string>
#include <vector>

typedef struct _GSettings GSettings;

namespace vellotype {

class IBusPreloadEngines {
 public:
  IBusPreloadEngines();
  ~IBusPreloadEngines();
  IBusPreloadEngines(const IBusPreloadEngines&) = delete;
  IBusPreloadEngines& operator=(const IBusPreloadEngines&) = delete;

  // Nothing when IBus's schema is not installed.
  std::optional<std::vector<std::string>> names() const;

 private:
  GSettings* settings_ = nullptr;
};

}  // namespace vellotype
