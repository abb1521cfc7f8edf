#pragma once
// One ordered record of what the fakes were asked to do, stamped with virtual time, so a test
// can check order across components and the moment each step happened.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/FakeMainQueue.h"

namespace vellotype {

class CallLog {
 public:
  struct Entry {
    VirtualTime time;
    std::string call;
  };

  explicit CallLog(const FakeMainQueue& clock) : clock_(clock) {}

  void record(std::string call) { entries_.push_back({clock_.now(), std::move(call)}); }

  const std::vector<Entry>& entries() const { return entries_; }
  // The calls recorded since `mark` (an earlier size()), without times.
  std::vector<std::string> callsSince(std::size_t mark) const;
  std::vector<std::string> calls() const { return callsSince(0); }
  std::size_t size() const { return entries_.size(); }
  // When `call` was first recorded; nothing if it never was.
  std::optional<VirtualTime> timeOf(std::string_view call) const;
  std::size_t count(std::string_view call) const;
  void clear() { entries_.clear(); }

 private:
  const FakeMainQueue& clock_;
  std::vector<Entry> entries_;
};

}  // namespace vellotype
