#pragma once
// The other application of a clipboard test, in a process of its own (ClipboardPeerMain.cpp).
// Waits run the test's Qt event loop, so this process keeps answering for its own clipboard
// meanwhile. Used from the test thread; a peer that owns the clipboard ends with the object.

#include <QProcess>
#include <QTemporaryDir>
#include <optional>

#include "platform/Pasteboard.h"

namespace vellotype::testing {

class ClipboardPeer {
 public:
  ~ClipboardPeer();

  // False when the peer did not take the clipboard.
  bool own(const PasteboardContents& contents);

  // What a Qt application finds on the clipboard; nothing when the peer failed.
  static std::optional<PasteboardContents> read();

 private:
  QTemporaryDir files_;
  QProcess process_;
};

}  // namespace vellotype::testing
