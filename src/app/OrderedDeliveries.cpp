#include "app/OrderedDeliveries.h"

namespace vellotype {

OrderedDeliveries::OrderedDeliveries(MainQueue& queue, Deliver deliver)
    : queue_(queue), deliver_(std::move(deliver)) {}

OrderedDeliveries::Place OrderedDeliveries::reserve() {
  line_.emplace(next_, std::nullopt);
  return next_++;
}

void OrderedDeliveries::fill(Place place, std::string text) {
  const auto found = line_.find(place);
  if (found == line_.end() || found->second) return;
  found->second = std::move(text);
  release();
}

void OrderedDeliveries::release() {
  while (!delivering_ && !line_.empty() && line_.begin()->second) {
    auto text = std::move(*line_.begin()->second);
    line_.erase(line_.begin());
    if (text.empty()) continue;
    delivering_ = true;
    // Holds the line itself: once the user's words are accepted for delivery they are delivered.
    queue_.postAfter(kReadyToDeliver, [self = shared_from_this(), text = std::move(text)] {
      self->deliver_(text);
      self->queue_.postAfter(kBetweenDeliveries, [self] {
        self->delivering_ = false;
        self->release();
      });
    });
  }
}

}  // namespace vellotype
