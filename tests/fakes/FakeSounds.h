#pragma once
// Records each sound played as "sound: <name>".

#include "fakes/CallLog.h"
#include "platform/Sounds.h"

namespace vellotype {

class FakeSounds : public Sounds {
 public:
  explicit FakeSounds(CallLog& log) : log_(log) {}
  void play(std::string_view name) override { log_.record("sound: " + std::string(name)); }

 private:
  CallLog& log_;
};

}  // namespace vellotype
