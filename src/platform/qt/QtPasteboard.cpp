#include "platform/qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <memory>

#include "platform/x11/SelectionTargets.h"

namespace vellotype {

// Qt asks the clipboard's data for its bytes when another client requests them: that is how
// the program knows its text was pasted. (Its own reads come only from an injection that
// replaces this text, which is then not asked about.)
class ReadTrackingMimeData : public QMimeData {
 public:
  bool wasRead() const { return read_; }
  bool wasOffered() const { return offered_; }

  // Asked when another application (or a compositor's bridge) asks what the clipboard holds.
  QStringList formats() const override {
    offered_ = true;
    return QMimeData::formats();
  }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    read_ = true;
    return QMimeData::retrieveData(mimeType, type);
  }

 private:
  mutable bool read_ = false;
  mutable bool offered_ = false;
};

namespace {

PasteboardContents snapshot(const QMimeData& data) {
  PasteboardContents contents;
  for (const auto& format : data.formats()) {
    const auto bytes = data.data(format);
    contents.items.emplace_back(format.toStdString(),
                                std::string(bytes.constData(), std::size_t(bytes.size())));
  }
  return contents;
}

}  // namespace

QtPasteboard::QtPasteboard() : clipboard_(*QGuiApplication::clipboard()) {
  // Qt reports the program's own sets at once and other clients' through XFixes, where it
  // filters out its own, so each set counts once. An owner quitting, which empties the
  // clipboard, counts as well.
  changed_ = QObject::connect(&clipboard_, &QClipboard::dataChanged, [this] { ++changeCount_; });
}

QtPasteboard::~QtPasteboard() { QObject::disconnect(changed_); }

PasteboardContents QtPasteboard::contents() {
  // Data this process put there (here, or by a copy in one of its text fields) comes back as
  // the QMimeData it was set with. Another owner's comes as Qt's QInternalMimeData, whose every
  // read may wait five seconds for that owner, so it is read over X instead.
  const QMimeData* held = clipboard_.mimeData(QClipboard::Clipboard);
  if (held && !held->inherits("QInternalMimeData")) return snapshot(*held);
  return reader_.read(X11SelectionReader::Clock::now() + kReadBound);
}

void QtPasteboard::setContents(const PasteboardContents& contents) {
  auto data = std::make_unique<QMimeData>();
  for (const auto& [name, bytes] : contents.items) {
    const auto type = SelectionTargets::mimeType(name);
    if (!type) continue;
    const auto format = QString::fromStdString(*type);
    if (data->hasFormat(format)) continue;
    data->setData(format, QByteArray(bytes.data(), qsizetype(bytes.size())));
  }
  if (data->formats().isEmpty()) {
    clipboard_.clear(QClipboard::Clipboard);
    return;
  }
  // Qt offers text/plain as UTF8_STRING, STRING and TEXT too, and answers every request,
  // in INCR chunks when large, while the program runs.
  clipboard_.setMimeData(data.release(), QClipboard::Clipboard);
}

void QtPasteboard::setString(const std::string& text) {
  auto data = std::make_unique<ReadTrackingMimeData>();
  data->setText(QString::fromStdString(text));
  tracked_ = data.get();
  clipboard_.setMimeData(data.release(), QClipboard::Clipboard);
}

const ReadTrackingMimeData* QtPasteboard::trackedText() const {
  const auto* tracking = dynamic_cast<const ReadTrackingMimeData*>(tracked_.data());
  return tracking && clipboard_.mimeData(QClipboard::Clipboard) == tracking ? tracking : nullptr;
}

bool QtPasteboard::textWasRead() const {
  const auto* text = trackedText();
  return text && text->wasRead();
}

bool QtPasteboard::textWasOffered() const {
  const auto* text = trackedText();
  return !text || text->wasOffered();
}

}  // namespace vellotype
