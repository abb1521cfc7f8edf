#include "ClipboardPeer.h"

#include <QFile>
#include <QTest>

namespace vellotype::testing {
namespace {

constexpr int kTimeoutMs = 10000;

void start(QProcess& process, const QStringList& arguments) {
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(VELLOTYPE_CLIPBOARD_PEER, arguments);
}

std::optional<PasteboardContents> parse(const QByteArray& out) {
  PasteboardContents contents;
  qsizetype at = 0;
  while (at < out.size()) {
    const auto end = out.indexOf('\n', at);
    const auto space = out.lastIndexOf(' ', end);
    if (end < 0 || space < at) return std::nullopt;
    const auto size = out.mid(space + 1, end - space - 1).toLongLong();
    if (end + 1 + size > out.size()) return std::nullopt;
    contents.items.emplace_back(out.mid(at, space - at).toStdString(),
                                out.mid(end + 1, size).toStdString());
    at = end + 1 + size;
  }
  return contents;
}

}  // namespace

ClipboardPeer::~ClipboardPeer() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.closeWriteChannel();
  if (!process_.waitForFinished(kTimeoutMs)) process_.kill();
  process_.waitForFinished(kTimeoutMs);
}

bool ClipboardPeer::own(const PasteboardContents& contents) {
  QStringList arguments = {"own"};
  for (const auto& [format, bytes] : contents.items) {
    const auto path = files_.filePath(QString::number(arguments.size()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
      return false;
    }
    arguments << QString::fromStdString(format) << path;
  }
  start(process_, arguments);
  return QTest::qWaitFor([&] { return process_.canReadLine(); }, kTimeoutMs) &&
         process_.readLine().trimmed() == "owned";
}

std::optional<PasteboardContents> ClipboardPeer::read() {
  QProcess process;
  start(process, {"read"});
  const bool finished =
      QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kTimeoutMs);
  if (!finished) {
    process.kill();
    process.waitForFinished(kTimeoutMs);
    return std::nullopt;
  }
  if (process.error() == QProcess::FailedToStart || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    return std::nullopt;
  }
  return parse(process.readAllStandardOutput());
}

}  // namespace vellotype::testing
