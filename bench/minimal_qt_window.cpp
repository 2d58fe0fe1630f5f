// The yardsticks for the Linux program's start-up, built the same way: a Qt
// 6 window of the calculator's size with one line of text, and (built with
// EMPTY_WINDOW) the same window with nothing in it, which never loads a font.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Minimal"));
  window.setFixedSize(210, 167);
#ifndef EMPTY_WINDOW
  QLabel label(QStringLiteral("Minimal"), &window);
#endif
  window.show();
  return QApplication::exec();
}
