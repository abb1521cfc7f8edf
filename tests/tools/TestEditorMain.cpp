// The application that receives the text in tests, the demo and the latency measurements: a
// plain text editor that takes the keyboard focus, prints "ready" once it has it, and then prints
// its whole text, hex-encoded on one line, every time it changes; with --timestamps each line
// starts with the wall-clock time in milliseconds.

#include <QApplication>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const bool timestamps = QApplication::arguments().contains("--timestamps");
  QPlainTextEdit editor;
  editor.setWindowTitle("editor");
  editor.resize(400, 300);
  editor.show();
  editor.activateWindow();
  editor.setFocus();
  QObject::connect(&editor, &QPlainTextEdit::textChanged, [&editor, timestamps] {
    if (timestamps) std::printf("%lld ", QDateTime::currentMSecsSinceEpoch());
    std::printf("%s\n", editor.toPlainText().toUtf8().toHex().constData());
    std::fflush(stdout);
  });
  QTimer ready;
  QObject::connect(&ready, &QTimer::timeout, [&] {
    if (!QApplication::focusWidget()) return;
    std::puts("ready");
    std::fflush(stdout);
    ready.stop();
  });
  ready.start(10);
  return QApplication::exec();
}
