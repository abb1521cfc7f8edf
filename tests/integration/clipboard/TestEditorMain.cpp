// The application that receives pasted text in the text-delivery tests: a plain text editor
// that takes the keyboard focus, prints "ready" once it has it, and then prints its whole text,
// hex-encoded on one line, every time it changes.

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QPlainTextEdit editor;
  editor.setWindowTitle("editor");
  editor.resize(400, 300);
  editor.show();
  editor.activateWindow();
  editor.setFocus();
  QObject::connect(&editor, &QPlainTextEdit::textChanged, [&editor] {
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
