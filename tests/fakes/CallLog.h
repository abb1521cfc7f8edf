#pragma once
// One ordered record of what the fakes were asked to do, stamped with virtual time, so a test
// can check order across components and the moment each step happened.

#include <algorithm>
#include <optional>
#include <string>
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
  std::size_t size() const { return entries_.size(); }
  void clear() { entries_.clear(); }

  // The calls recorded since `mark` (an earlier size()), without times.
  std::vector<std::string> callsSince(std::size_t mark) const {
    std::vector<std::string> calls;
    for (auto i = mark; i < entries_.size(); ++i) calls.push_back(entries_[i].call);
    return calls;
  }
  std::vector<std::string> calls() const { return callsSince(0); }
  // The calls recorded from `from` on, each as "<milliseconds> <call>".
  std::vector<std::string> timeline(VirtualTime from = VirtualTime(0)) const {
    std::vector<std::string> result;
    for (const auto& [time, call] : entries_) {
      if (time >= from) result.push_back(std::to_string(time.count() / 1000000) + " " + call);
    }
    return result;
  }
  // When `call` was first recorded; nothing if it never was.
  std::optional<VirtualTime> timeOf(std::string_view call) const {
    const auto it = std::ranges::find(entries_, call, &Entry::call);
    return it == entries_.end() ? std::nullopt : std::optional(it->time);
  }
  std::size_t count(std::string_view call) const {
    return std::size_t(std::ranges::count(entries_, call, &Entry::call));
  }

 private:
  const FakeMainQueue& clock_;
  std::vector<Entry> entries_;
};

// The base of the fakes that record what they are asked to do in a CallLog.
class Recorder {
 public:
  explicit Recorder(CallLog& log) : log_(log) {}

 protected:
  CallLog& log_;
};

}  // namespace vellotype
