#include "fakes/CallLog.h"

#include <algorithm>

namespace vellotype {

std::vector<std::string> CallLog::callsSince(std::size_t mark) const {
  std::vector<std::string> calls;
  for (std::size_t i = mark; i < entries_.size(); ++i) calls.push_back(entries_[i].call);
  return calls;
}

std::optional<VirtualTime> CallLog::timeOf(std::string_view call) const {
  for (const auto& entry : entries_) {
    if (entry.call == call) return entry.time;
  }
  return std::nullopt;
}

std::size_t CallLog::count(std::string_view call) const {
  return std::size_t(std::count_if(entries_.begin(), entries_.end(),
                                   [&](const Entry& e) { return e.call == call; }));
}

}  // namespace vellotype
