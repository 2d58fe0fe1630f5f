// The help window in-process on the offscreen platform: F1 in the calculator
// shows the help pages the program carries in it, links move it, and its
// buttons walk the pages as the Windows help viewer does.
#include "help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include "app_files.h"
#include "calculator_window.h"

namespace ratecalc {
namespace {

QTextBrowser* BrowserOf(QMainWindow* window) { return window->findChild<QTextBrowser*>(); }

// Clicks the link with the given text, as the user would.
void ClickLink(QTextBrowser* browser, const QString& text) {
  QTextCursor cursor = browser->document()->find(text);
  ASSERT_FALSE(cursor.isNull()) << "no link " << text.toStdString();
  cursor.setPosition(cursor.selectionStart() + 2);
  QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(cursor).center());
}

QWidget* Button(QMainWindow* window, const QString& text) {
  const QToolBar* toolbar = window->findChild<QToolBar*>();
  for (QAction* action : toolbar->actions()) {
    if (action->text() == text) return toolbar->widgetForAction(action);
  }
  return nullptr;
}

TEST(HelpWindow, F1ShowsTheHelpAndItsPagesAreWalked) {
  const QString help_page = AppDataFile(QStringLiteral("help/index.html"));
  HelpWindow window;
  HelpWindow* help = &window;
  RateModel model;
  CalculatorWindow calculator_window(
      model, "",
      {.open_help = [&] { help->showPage(QUrl::fromLocalFile(help_page), &calculator_window); },
       .quit = [] {}});
  QDialog* calculator = &calculator_window;
  calculator->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(calculator));
  calculator->move(calculator->screen()->availableGeometry().topLeft());
  QTest::keyClick(calculator->focusWidget(), Qt::Key_F1);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->windowTitle().toStdString(), "KOV Rate Calculator - KOV Rate Calculator Help");
  QTextBrowser* browser = BrowserOf(help);
  EXPECT_EQ(browser->source(), QUrl::fromLocalFile(help_page));
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Topics")));
  // Not under the calculator, which stays on top.
  EXPECT_FALSE(help->frameGeometry().intersects(calculator->frameGeometry()));
  struct Row {
    const char* what;
    bool link;  // a link's text, else a button's
    QString target;
    QString page;
    bool back, forward;
  };
  const Row rows[] = {
      {"a link", true, QStringLiteral("The three modes"), QStringLiteral("modes.html"), true,
       false},
      {"a link on it", true, QStringLiteral("WTR and ER NI"), QStringLiteral("oncosts.html"), true,
       false},
      {"Back", false, QStringLiteral("Back"), QStringLiteral("modes.html"), true, true},
      {"Back again", false, QStringLiteral("Back"), QStringLiteral("index.html"), false, true},
      {"Forward", false, QStringLiteral("Forward"), QStringLiteral("modes.html"), true, true},
      {"Contents", false, QStringLiteral("Contents"), QStringLiteral("index.html"), true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.link) {
      ClickLink(browser, row.target);
    } else {
      QTest::mouseClick(Button(help, row.target), Qt::LeftButton);
    }
    EXPECT_EQ(browser->source().fileName(), row.page);
    EXPECT_EQ(Button(help, QStringLiteral("Back"))->isEnabled(), row.back);
    EXPECT_EQ(Button(help, QStringLiteral("Forward"))->isEnabled(), row.forward);
  }
  // F1 again brings the window back to the first page.
  QTest::keyClick(calculator->focusWidget(), Qt::Key_F1);
  EXPECT_EQ(browser->source().fileName(), QStringLiteral("index.html"));
}

// Without its pages the window still opens and says what is missing,
// also when shown again after being closed.
TEST(HelpWindow, AMissingPageIsReportedInTheWindow) {
  HelpWindow window;
  HelpWindow* help = &window;
  for (int opening = 0; opening < 2; ++opening) {
    help->showPage(QUrl::fromLocalFile(QStringLiteral("/nowhere/help/index.html")), nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(
        BrowserOf(help)->toPlainText().contains(QStringLiteral("/nowhere/help/index.html")));
    help->close();
    EXPECT_FALSE(help->isVisible());
  }
}

}  // namespace
}  // namespace ratecalc
