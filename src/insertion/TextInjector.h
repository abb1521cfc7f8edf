#pragma once
// Delivers text into the focused application: puts it on the clipboard, switches to a Latin
// keyboard layout for the moment of the paste if an input method is active, sends the paste
// keystroke, and puts the user's layout and clipboard back afterwards. Main thread only; owned
// through a shared_ptr by the composition root.

#include <memory>
#include <optional>
#include <string>

#include "insertion/TextInjectorInterface.h"
#include "platform/InputSources.h"
#include "platform/KeyboardEvents.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"

namespace vellotype {

class TextInjector : public TextInjectorInterface,
                     public std::enable_shared_from_this<TextInjector> {
 public:
  TextInjector(Pasteboard& pasteboard, InputSources& inputSources, KeyboardEvents& keyboard,
               MainQueue& mainQueue);

  void inject(const std::string& text) override;

 private:
  // The user's own clipboard, kept while the injected text sits on the clipboard.
  struct PendingRestore {
    PasteboardContents userContents;
    std::int64_t injectedChangeCount;
  };

  std::optional<InputSource> findASCIICapableSource();
  void postPasteChord();
  void restorePasteboard(std::int64_t injectedChangeCount);

  Pasteboard& pasteboard_;
  InputSources& inputSources_;
  KeyboardEvents& keyboard_;
  MainQueue& mainQueue_;
  std::optional<PendingRestore> pendingRestore_;
};

}  // namespace vellotype
