#pragma once
// Records each sound played as "sound: <name>".

#include "fakes/CallLog.h"
#include "platform/Sounds.h"

namespace vellotype {

class FakeSounds : public Sounds, Recorder {
 public:
  using Recorder::Recorder;
  void play(std::string_view name) override { log_.record("sound: " + std::string(name)); }
};

}  // namespace vellotype
