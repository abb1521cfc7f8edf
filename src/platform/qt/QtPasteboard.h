#pragma once
// The CLIPBOARD selection through Qt's clipboard, which serves whatever this program puts there
// to other applications; another owner's formats are read over X with a bound on the time they
// may take. Main thread only; owned by the composition root, after the QGuiApplication.

#include <QMetaObject>
#include <QMimeData>
#include <QPointer>
#include <chrono>

#include "platform/Pasteboard.h"
#include "platform/x11/X11SelectionReader.h"

class QClipboard;

namespace vellotype {

class ReadTrackingMimeData;

class QtPasteboard : public Pasteboard {
 public:
  QtPasteboard();
  ~QtPasteboard() override;
  QtPasteboard(const QtPasteboard&) = delete;
  QtPasteboard& operator=(const QtPasteboard&) = delete;

  PasteboardContents contents() override;
  void setContents(const PasteboardContents& contents) override;
  void setString(const std::string& text) override;
  std::int64_t changeCount() const override { return changeCount_; }
  bool textWasRead() const override;
  // Whether anyone has asked what the clipboard holds since setString(); true when something
  // else has replaced that text.
  bool textWasOffered() const;

 private:
  const ReadTrackingMimeData* trackedText() const;

  QClipboard& clipboard_;
  X11SelectionReader reader_;
  QMetaObject::Connection changed_;
  std::int64_t changeCount_ = 0;
  // What setString() put there last; the clipboard deletes it once it is replaced.
  QPointer<QMimeData> tracked_;
};

}  // namespace vellotype
