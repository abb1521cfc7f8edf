#pragma once
// The microphone. Every operation but the tap's block runs on the main thread; the block runs
// on the audio layer's capture thread. Owned by the composition root.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/AudioBuffer.h"

namespace vellotype {

class AudioEngine {
 public:
  using TapBlock = std::function<void(const std::shared_ptr<const AudioBuffer>& buffer)>;

  virtual ~AudioEngine() = default;

  // The format the microphone's audio is delivered in.
  virtual AudioFormat inputFormat() const = 0;
  // One tap at a time. Its block receives buffers of exactly `bufferSize` frames while the
  // engine runs, and the shorter rest when it stops.
  virtual void installTap(std::uint32_t bufferSize, AudioFormat format, TapBlock block) = 0;
  virtual void removeTap() = 0;

  virtual void prepare() = 0;
  // Nothing when capture runs; otherwise the sound system's description of why not.
  virtual std::optional<std::string> start() = 0;
  // Audio already captured reaches the tap before this returns: nothing said before the
  // release is lost.
  virtual void stop() = 0;
  virtual bool isRunning() const = 0;

  // Whether the program can record; the handler runs once, on any thread.
  virtual void requestAccess(std::function<void(bool granted)> handler) = 0;
};

}  // namespace vellotype
