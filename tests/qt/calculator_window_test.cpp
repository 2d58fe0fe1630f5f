// The Qt window driven in-process with QTest's keys and clicks, scenario by
// scenario as the Windows end-to-end tests drive the Windows program: the
// same keystrokes must leave the same six texts.
#include "calculator_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "window_rules.h"

namespace ratecalc {
namespace {

// The controls, fields first in their order.
enum Control {
  kPay,
  kCharge,
  kWtrPct,
  kErniPct,
  kMarginAmt,
  kMarginPct,
  kWtr,
  kErni,
  kModePay,
  kModeCharge,
  kModeMargin,
  kCalc
};

enum Action { kFocus, kType, kKey, kClick };
struct Step {
  Action action;
  int control_or_key;
  QString text = {};
};
Step Focus(Control c) { return {kFocus, c}; }
Step Type(const QString& text) { return {kType, 0, text}; }
Step Key(Qt::Key key) { return {kKey, key}; }
Step Click(Control c) { return {kClick, c}; }

using Texts = std::vector<std::string>;
const Texts kWorkedExample = {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"};

struct Scenario {
  std::string name;
  RateModel start;
  std::vector<Step> steps;
  Texts shown;
  Control focus;
  int help_pages_opened = 0;
};

RateModel Start(CalcMode mode, double pay, double charge, double margin_amt, double margin_pct,
                int erni = 1) {
  RateModel m;
  m.sCalcMode = mode;
  m.nPayAmt = pay;
  m.nChargeAmt = charge;
  m.nMarginAmt = margin_amt;
  m.nMarginPct = margin_pct;
  m.bCalcERNI = erni;
  return m;
}

std::vector<QUrl> g_opened;
bool CaptureUrl(const QUrl& url) {
  g_opened.push_back(url);
  return true;
}
int g_quits;
void CountQuit() { ++g_quits; }

std::vector<QWidget*> ControlsOf(QDialog* window) {
  std::vector<QWidget*> out;
  for (QLineEdit* edit : window->findChildren<QLineEdit*>()) out.push_back(edit);
  for (QCheckBox* check : window->findChildren<QCheckBox*>()) out.push_back(check);
  for (QRadioButton* radio : window->findChildren<QRadioButton*>()) out.push_back(radio);
  out.push_back(window->findChild<QPushButton*>());
  return out;
}

std::vector<Scenario> Scenarios() {
  const RateModel fresh;
  const RateModel calculated = Start(CalcMode::Pay, 14.11, 20, 2, 10);
  const Step tab = Key(Qt::Key_Tab);
  // clang-format off
  std::vector<Scenario> rows = {
      {"the worked example typed from the first field", fresh,
       {tab, Type("20"), tab, tab, tab, tab, tab, tab, Type("10"), Key(Qt::Key_Return)},
       kWorkedExample, kMarginPct},
      {"Enter in the margin amount uses the amount", calculated,
       {Focus(kMarginAmt), Type("3"), Key(Qt::Key_Return)},
       {"13.33", "20.00", "12.07", "13.80", "3.00", "15.00"}, kMarginAmt},
      {"a click on Calc lets the percentage win", calculated,
       {Focus(kMarginAmt), Type("3"), Click(kCalc)}, kWorkedExample, kCalc},
      {"a mode button refreshes without calculating", Start(CalcMode::Pay, 0, 20, 0, 10),
       {Focus(kCharge), Type("50"), Click(kModeMargin)},
       {"0.00", "20.00", "12.07", "13.80", "0.00", "10.00"}, kModeMargin},
      {"Charge mode derives the charge", Start(CalcMode::Pay, 14.11, 0, 0, 10, 0),
       {Click(kModeCharge), Click(kCalc)},
       {"14.11", "17.57", "12.07", "13.80", "1.76", "10.00"}, kCalc},
      {"Down on the selected mode selects the next", Start(CalcMode::Charge, 14.11, 17.57, 1.76, 10),
       {Focus(kModeCharge), Key(Qt::Key_Down)},
       {"14.11", "17.57", "12.07", "13.80", "1.76", "10.00"}, kModeMargin},
      {"unticking WTR recalculates with the text just typed", fresh,
       {Focus(kCharge), Type("20"), Focus(kMarginPct), Type("10"), Click(kWtr)},
       {"15.82", "20.00", "12.07", "13.80", "2.00", "10.00"}, kWtr},
      {"Space on the switches: both on-costs off, then ER NI back", calculated,
       {Focus(kWtr), Key(Qt::Key_Space), Focus(kErni), Key(Qt::Key_Space), Key(Qt::Key_Space)},
       {"15.82", "20.00", "12.07", "13.80", "2.00", "10.00"}, kErni},
      {"a figure too long to show is refused", Start(CalcMode::Margin, 10, 20, 0, 0),
       {Focus(kWtrPct), Type(QString(79, u'1')), Click(kCalc)},
       {"10.00", "20.00", "12.07", "13.80", "0.00", "0.00"}, kCalc},
      {"text that is no number reads as 0", Start(CalcMode::Margin, 10, 20, 0, 0),
       {Focus(kWtrPct), Type(QString::fromUtf8("\u00a312")), Key(Qt::Key_Return)},
       {"10.00", "20.00", "0.00", "13.80", "8.62", "43.10"}, kWtrPct},
      {"Escape leaves everything as it was", calculated,
       {Focus(kCharge), Key(Qt::Key_Escape)}, kWorkedExample, kCharge},
      {"F1 opens the help", calculated, {Focus(kCharge), Key(Qt::Key_F1)}, kWorkedExample, kCharge, 1},
  };
  // clang-format on
  // Enter on every field, switch and mode button calculates and keeps the
  // focus where it was.
  for (Control c : {kPay, kCharge, kWtr, kWtrPct, kErni, kErniPct, kMarginAmt, kMarginPct, kModePay,
                    kModeCharge, kModeMargin}) {
    rows.push_back({"Enter on control " + std::to_string(c),
                    Start(CalcMode::Pay, 0, 20, 2, 10),
                    {Focus(c), Key(Qt::Key_Return)},
                    kWorkedExample,
                    c});
  }
  // Tab walks the fields and switches, then the selected mode button, then
  // round to the first field, never stopping on Calc; read-only fields too.
  for (auto [mode, button] : {std::pair{CalcMode::Pay, kModePay},
                              {CalcMode::Charge, kModeCharge},
                              {CalcMode::Margin, kModeMargin}}) {
    const Control order[] = {kPay,     kCharge,    kWtr,       kWtrPct, kErni,
                             kErniPct, kMarginAmt, kMarginPct, button,  kPay};
    Scenario row = {"", calculated, {}, kWorkedExample, kPay};
    row.start.sCalcMode = mode;
    for (int tabs = 1; tabs < 10; ++tabs) {
      row.name = std::to_string(tabs) + " Tabs, mode " + std::to_string(static_cast<int>(mode));
      row.steps.push_back(tab);
      row.focus = order[tabs];
      rows.push_back(row);
    }
  }
  return rows;
}

TEST(CalculatorWindow, Scenarios) {
  g_open_url = CaptureUrl;
  g_help_page = QStringLiteral("/usr/share/kov-rate-calculator/help/index.html");
  for (const Scenario& row : Scenarios()) {
    SCOPED_TRACE(row.name);
    g_model = row.start;
    g_opened.clear();
    QDialog* window = CreateCalculatorWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const std::vector<QWidget*> controls = ControlsOf(window);
    ASSERT_EQ(controls.size(), 12u);
    EXPECT_EQ(window->focusWidget(), controls[kPay]);
    for (const Step& step : row.steps) {
      QWidget* target = window->focusWidget();
      switch (step.action) {
        case kFocus:
          controls[static_cast<std::size_t>(step.control_or_key)]->setFocus(Qt::TabFocusReason);
          break;
        case kType:
          QTest::keyClicks(target, step.text);
          break;
        case kKey:
          QTest::keyClick(target, static_cast<Qt::Key>(step.control_or_key));
          break;
        case kClick:
          QTest::mouseClick(controls[static_cast<std::size_t>(step.control_or_key)],
                            Qt::LeftButton);
          break;
      }
    }
    Texts shown;
    // Read-only and blue on the button face exactly where the rules say
    // the window's model has a derived field.
    for (int field = 0; field < kFieldCount; ++field) {
      auto* edit = static_cast<QLineEdit*>(controls[static_cast<std::size_t>(field)]);
      shown.push_back(edit->text().toStdString());
      const bool derived = !IsInputField(g_model, field);
      EXPECT_EQ(edit->isReadOnly(), derived) << "field " << field;
      EXPECT_EQ(edit->palette().color(QPalette::Text) == QColor(0, 0, 255), derived)
          << "field " << field;
    }
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(window->focusWidget(), controls[static_cast<std::size_t>(row.focus)]);
    // Tab into a field, read-only or not, selects its text.
    auto* tabbed_into = qobject_cast<QLineEdit*>(window->focusWidget());
    if (tabbed_into && row.steps.back().action == kKey &&
        row.steps.back().control_or_key == Qt::Key_Tab) {
      EXPECT_EQ(tabbed_into->selectedText(), tabbed_into->text());
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    ASSERT_EQ(g_opened.size(), static_cast<std::size_t>(row.help_pages_opened));
    if (!g_opened.empty()) {
      EXPECT_EQ(g_opened[0], QUrl::fromLocalFile(g_help_page));
    }
    delete window;
  }
}

// Closing hides the main window first, then shows the About window until
// it is closed, and only then ends the run.
TEST(CalculatorWindow, ClosingPassesThroughTheAboutWindow) {
  g_model = RateModel{};
  g_quits = 0;
  g_quit = CountQuit;
  QPointer<QDialog> window = CreateCalculatorWindow();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  bool about_seen = false, main_visible_with_about = true;
  int quits_with_about = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible() && top->windowTitle() == "About KOV Rate Calculator") {
        about_seen = true;
        const QLabel* picture = nullptr;
        for (const QLabel* label : top->findChildren<QLabel*>()) {
          if (!label->pixmap().isNull()) picture = label;
        }
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->pixmap().size(), QSize(320, 240));
        EXPECT_TRUE(top->windowFlags() & Qt::WindowStaysOnTopHint);
        main_visible_with_about = window && window->isVisible();
        quits_with_about = g_quits;
        QTest::keyClick(top, Qt::Key_Escape);  // closes nothing
        EXPECT_TRUE(top->isVisible());
        top->close();
      }
    }
  });
  poll.start(10);
  window->close();
  poll.stop();
  EXPECT_TRUE(about_seen);
  EXPECT_FALSE(main_visible_with_about);
  EXPECT_EQ(quits_with_about, 0);
  EXPECT_EQ(g_quits, 1);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
}

}  // namespace
}  // namespace ratecalc

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
