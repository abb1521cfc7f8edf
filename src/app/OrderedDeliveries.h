#pragma once
// The line in which texts reach the focused application: each utterance takes its place when
// it begins, and a text is typed only once everything before it has been typed or has turned
// out to hold nothing, so two utterances never arrive out of order. Two pastes are kept apart,
// so that neither reads the other's text from the clipboard. Main thread only; owned by the
// application object through a shared_ptr, which the steps on the main queue hold.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/MainQueue.h"

namespace vellotype {

class OrderedDeliveries : public std::enable_shared_from_this<OrderedDeliveries> {
 public:
  using Place = std::uint64_t;
  using Deliver = std::function<void(const std::string& text)>;

  // A text is typed this long after it is ready (the capsule's fade has begun by then).
  static constexpr double kReadyToDeliver = 0.1;
  // The least time between one paste and the start of the next: the layout switched for a paste
  // is put back 0.3 s after it.
  static constexpr double kBetweenDeliveries = 0.3;

  OrderedDeliveries(MainQueue& queue, Deliver deliver);

  Place reserve();
  // The text for a place; an empty one gives up the place with nothing typed. Only the first
  // fill of a place counts.
  void fill(Place place, std::string text);

 private:
  void release();

  MainQueue& queue_;
  Deliver deliver_;
  Place next_ = 1;
  std::map<Place, std::optional<std::string>> line_;
  bool delivering_ = false;  // a paste is on its way or has just happened
};

}  // namespace vellotype
