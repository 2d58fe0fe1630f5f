#include "help_window.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QToolBar>
#include <algorithm>

namespace ratecalc {
namespace {

const QString kTitle = QStringLiteral("KOV Rate Calculator Help");

QPointer<QMainWindow> g_help_window;
QTextBrowser* g_browser;

QAction* AddAction(QToolBar* toolbar, const QString& text, QKeySequence key) {
  QAction* action = toolbar->addAction(text);
  action->setShortcut(key);
  return action;
}

// Beside the window F1 was pressed in, which stays on top and would
// otherwise hide part of the help: on the side with more room, within the
// screen.
void PlaceBeside(QWidget* help, const QWidget* caller) {
  if (!caller) return;
  const QRect screen = caller->screen()->availableGeometry();
  const QRect beside = caller->frameGeometry();
  const int right_room = screen.right() - beside.right();
  const int left_room = beside.left() - screen.left();
  const int x = right_room >= left_room ? beside.right() + 1 : beside.left() - help->width();
  const int y = std::min(beside.top(), screen.bottom() - help->height());
  help->move(std::clamp(x, screen.left(), std::max(screen.left(), screen.right() - help->width())),
             std::max(y, screen.top()));
}

QMainWindow* CreateHelpWindow() {
  auto* window = new QMainWindow;
  window->setWindowTitle(kTitle);
  g_browser = new QTextBrowser(window);
  // Links to other sites stay in the window, which cannot show them,
  // rather than starting a browser.
  g_browser->setOpenExternalLinks(false);
  window->setCentralWidget(g_browser);

  QToolBar* toolbar = window->addToolBar(QStringLiteral("Navigation"));
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* contents =
      AddAction(toolbar, QStringLiteral("Contents"), QKeySequence(Qt::ALT | Qt::Key_Home));
  QAction* back = AddAction(toolbar, QStringLiteral("Back"), QKeySequence::Back);
  QAction* forward = AddAction(toolbar, QStringLiteral("Forward"), QKeySequence::Forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  QTextBrowser* browser = g_browser;
  QObject::connect(contents, &QAction::triggered, browser, &QTextBrowser::home);
  QObject::connect(back, &QAction::triggered, browser, &QTextBrowser::backward);
  QObject::connect(forward, &QAction::triggered, browser, &QTextBrowser::forward);
  QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  QObject::connect(browser, &QTextBrowser::sourceChanged, window, [window, browser] {
    const QString page = browser->documentTitle();
    window->setWindowTitle(page.isEmpty() ? kTitle : page + QStringLiteral(" - ") + kTitle);
  });
  // Closing only hides it, keeping its pages for the next F1; it goes with
  // the run, as widgets must go before the application.
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);

  const QFontMetrics metrics(window->font());
  window->resize(metrics.averageCharWidth() * 90, metrics.height() * 36);
  PlaceBeside(window, QApplication::activeWindow());
  return window;
}

}  // namespace

bool ShowHelpWindow(const QUrl& page) {
  if (!g_help_window) g_help_window = CreateHelpWindow();
  if (page.isLocalFile() && QFileInfo(page.toLocalFile()).isFile()) {
    g_browser->setSource(page);
  } else {
    g_browser->setHtml(QStringLiteral("<h1>%1</h1><p>The help page %2 cannot be found: the help "
                                      "pages may not be installed.</p>")
                           .arg(kTitle, page.toDisplayString().toHtmlEscaped()));
    g_help_window->setWindowTitle(kTitle);
  }
  g_help_window->show();
  g_help_window->raise();
  g_help_window->activateWindow();
  return true;
}

QMainWindow* OpenHelpWindow() { return g_help_window; }

}  // namespace ratecalc
