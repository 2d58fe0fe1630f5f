// The help window: the program's own viewer for its HTML help pages, with
// Contents, Back and Forward as the Windows help viewer has, so that F1
// shows the help on any desktop, with or without a web browser.
#pragma once

#include <QMainWindow>
#include <QUrl>

class QTextBrowser;

namespace ratecalc {

class HelpWindow : public QMainWindow {
 public:
  HelpWindow();

  // Shows the page (a local file), beside `caller` on first showing, and
  // raises the window; the first page shown is its contents page. A page
  // that cannot be found is reported in the window.
  void showPage(const QUrl& page, const QWidget* caller);

 private:
  QTextBrowser* browser_;
};

}  // namespace ratecalc
