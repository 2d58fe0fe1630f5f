// The help window: the program's own viewer for its HTML help pages, with
// Contents, Back and Forward as the Windows help viewer has, so that F1
// shows the help on any desktop, with or without a web browser.
#pragma once

#include <QUrl>

class QMainWindow;

namespace ratecalc {

// Shows the help window at the page (a local file), opening the window on
// first use and raising it afterwards; the first page it shows is its
// contents page. A page that cannot be found is reported in the window.
// Always true: the help is shown in-process whatever the desktop has.
bool ShowHelpWindow(const QUrl& page);

// The help window once F1 has opened it, otherwise null.
QMainWindow* OpenHelpWindow();

}  // namespace ratecalc
