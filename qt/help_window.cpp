#include "help_window.h"

#include <QAction>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QScreen>
#include <QTextBrowser>
#include <QToolBar>
#include <algorithm>

namespace ratecalc {
namespace {

const QString kTitle = QStringLiteral("KOV Rate Calculator Help");

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

}  // namespace

HelpWindow::HelpWindow() : browser_(new QTextBrowser(this)) {
  setWindowTitle(kTitle);
  // Links to other sites stay in the window, which cannot show them,
  // rather than starting a browser.
  browser_->setOpenExternalLinks(false);
  setCentralWidget(browser_);

  QToolBar* toolbar = addToolBar(QStringLiteral("Navigation"));
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QAction* contents =
      AddAction(toolbar, QStringLiteral("Contents"), QKeySequence(Qt::ALT | Qt::Key_Home));
  QAction* back = AddAction(toolbar, QStringLiteral("Back"), QKeySequence::Back);
  QAction* forward = AddAction(toolbar, QStringLiteral("Forward"), QKeySequence::Forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(contents, &QAction::triggered, browser_, &QTextBrowser::home);
  connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    const QString page = browser_->documentTitle();
    setWindowTitle(page.isEmpty() ? kTitle : page + QStringLiteral(" - ") + kTitle);
  });

  const QFontMetrics metrics(font());
  resize(metrics.averageCharWidth() * 90, metrics.height() * 36);
}

void HelpWindow::showPage(const QUrl& page, const QWidget* caller) {
  if (!isVisible()) PlaceBeside(this, caller);
  if (page.isLocalFile() && QFileInfo(page.toLocalFile()).isFile()) {
    browser_->setSource(page);
  } else {
    browser_->setHtml(QStringLiteral("<h1>%1</h1><p>The help page %2 cannot be found: the help "
                                     "pages may not be installed.</p>")
                          .arg(kTitle, page.toDisplayString().toHtmlEscaped()));
    setWindowTitle(kTitle);
  }
  show();
  raise();
  activateWindow();
}

}  // namespace ratecalc
