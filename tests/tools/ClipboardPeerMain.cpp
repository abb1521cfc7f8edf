// The other application of the clipboard tests: a Qt program of its own on the test's display.
//   own FORMAT FILE [FORMAT FILE...]  takes the CLIPBOARD with those formats, prints "owned" and
//                                     serves them until its standard input closes;
//   read                              prints each MIME format it finds as "FORMAT SIZE\n" and
//                                     the bytes.

#include <unistd.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>
#include <cstdio>

namespace {

int read(QClipboard& clipboard) {
  const QMimeData* data = clipboard.mimeData();
  QByteArray out;
  for (const auto& format : data ? data->formats() : QStringList()) {
    // TARGETS, TIMESTAMP and the like are how X asks, not what was copied.
    if (!format.contains('/')) continue;
    const auto bytes = data->data(format);
    out += format.toUtf8() + ' ' + QByteArray::number(bytes.size()) + '\n' + bytes;
  }
  return std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout) == std::size_t(out.size())
             ? 0
             : 1;
}

int own(QGuiApplication& application, QClipboard& clipboard, const QStringList& formatsAndFiles) {
  auto* data = new QMimeData;
  for (qsizetype i = 0; i + 1 < formatsAndFiles.size(); i += 2) {
    QFile file(formatsAndFiles[i + 1]);
    if (!file.open(QIODevice::ReadOnly)) return 2;
    data->setData(formatsAndFiles[i], file.readAll());
  }
  clipboard.setMimeData(data);
  std::puts("owned");
  std::fflush(stdout);
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char c;
    if (::read(STDIN_FILENO, &c, 1) <= 0) application.quit();
  });
  return application.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication application(argc, argv);
  const auto arguments = application.arguments();
  auto& clipboard = *QGuiApplication::clipboard();
  if (arguments.size() == 2 && arguments[1] == "read") return read(clipboard);
  if (arguments.size() >= 4 && arguments.size() % 2 == 0 && arguments[1] == "own") {
    return own(application, clipboard, arguments.mid(2));
  }
  std::fputs("usage: vellotype_clipboard_peer own FORMAT FILE... | read\n", stderr);
  return 64;
}
