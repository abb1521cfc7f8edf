#pragma once
// The system clipboard. Main thread only; owned by the composition root.

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vellotype {

// Everything the clipboard held, format by format (MIME types such as "text/plain",
// "image/png"). Empty when it held nothing.
struct PasteboardContents {
  std::vector<std::pair<std::string, std::string>> items;
  bool operator==(const PasteboardContents&) const = default;
};

class Pasteboard {
 public:
  // How long contents() waits for another owner. Text and markup take a few milliseconds, but
  // Qt and GTK owners encode an image only when it is asked for: a full-HD screenshot as PNG
  // takes about 80 ms, a photo several times that. Whatever is not read in time is lost to the
  // user once the injected text replaces it, so the bound is as long as a paste can wait without
  // feeling late.
  static constexpr std::chrono::milliseconds kReadBound{300};

  virtual ~Pasteboard() = default;

  // Reads every format. Bounded in time: when the owner is slow to answer, the formats that
  // could not be read in time are left out, plain text first in line to be kept.
  virtual PasteboardContents contents() = 0;
  virtual void setContents(const PasteboardContents& contents) = 0;
  virtual void setString(const std::string& text) = 0;
  // Whether another application has asked for the text setString() put there last. False once
  // anyone else has put something on the clipboard. A clipboard manager reading every new text
  // counts as a reader too.
  virtual bool textWasRead() const = 0;
  // Goes up whenever anyone, this program included, puts something on the clipboard.
  virtual std::int64_t changeCount() const = 0;
};

}  // namespace vellotype
