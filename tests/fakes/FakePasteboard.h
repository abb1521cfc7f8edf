#pragma once
// A clipboard in memory whose change count goes up with every write, as the real one's does.
// Records "pasteboard: set <text>" and "pasteboard: restore".

#include "fakes/CallLog.h"
#include "platform/Pasteboard.h"

namespace vellotype {

class FakePasteboard : public Pasteboard, Recorder {
 public:
  using Recorder::Recorder;

  PasteboardContents contents() override { return held; }
  void setContents(const PasteboardContents& contents) override {
    log_.record("pasteboard: restore");
    copy(contents);
  }
  void setString(const std::string& text) override {
    log_.record("pasteboard: set " + text);
    copy({{{"text/plain", text}}});
  }
  std::int64_t changeCount() const override { return count; }
  bool textWasRead() const override { return pasted; }

  // What the user (or another program) copies.
  void copy(PasteboardContents contents) {
    held = std::move(contents);
    ++count;
  }

  PasteboardContents held;
  std::int64_t count = 0;
  bool pasted = true;  // an application read the injected text
};

}  // namespace vellotype
