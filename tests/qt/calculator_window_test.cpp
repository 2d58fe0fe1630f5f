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
#include <optional>
#include <string>
#include <vector>

#include "dialog_units.h"
#include "field_key_rows.h"
#include "window_rules.h"

namespace ratecalc {
namespace {

// The controls, by their places in the template.
enum Control {
  kCalc = 0,
  kPay = FieldControl(kPayField),
  kCharge = FieldControl(kChargeField),
  kWtrPct = FieldControl(kWtrPctField),
  kErniPct = FieldControl(kErniPctField),
  kMarginAmt = FieldControl(kMarginAmtField),
  kMarginPct = FieldControl(kMarginPctField),
  kWtr = SwitchControl(kWtrSwitch),
  kErni = SwitchControl(kErniSwitch),
  kCalcHeader = 16,
  kModePay = ModeControl(CalcMode::Pay),
  kModeCharge = ModeControl(CalcMode::Charge),
  kModeMargin = ModeControl(CalcMode::Margin),
};
constexpr Control kFieldControls[] = {kPay, kCharge, kWtrPct, kErniPct, kMarginAmt, kMarginPct};

enum Action { kFocus, kType, kKey, kClick };
struct Step {
  Action action;
  int control_or_key;
  QString text = {};
  Qt::KeyboardModifiers modifiers = {};
};
Step Focus(Control c) { return {kFocus, c}; }
Step Type(const QString& text) { return {kType, 0, text}; }
Step Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { return {kKey, key, {}, modifiers}; }
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
  std::optional<CalcMode> mode = {};
  bool debug_line = false;  // "NC: 0", written when the Pay mode is chosen
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

int g_help_opened;
int g_quits;

CalculatorWindow::Seams CountingSeams() {
  return {.open_help = [] { ++g_help_opened; }, .quit = [] { ++g_quits; }};
}

std::vector<Scenario> Scenarios() {
  const RateModel fresh;
  const RateModel calculated = Start(CalcMode::Pay, 14.11, 20, 2, 10);
  const Step tab = Key(Qt::Key_Tab);
  const RateModel margin = Start(CalcMode::Margin, 10, 13.80, 0, 0);
  const Texts margin_of_20 = {"10.00", "20.00", "12.07", "13.80", "7.25", "36.23"};
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
      {"Alt, Ctrl or Super with a letter types nothing", calculated,
       {Focus(kCharge), Key(Qt::Key_Home), Key(Qt::Key_C, Qt::AltModifier),
        Key(Qt::Key_P, Qt::ControlModifier), Key(Qt::Key_W, Qt::MetaModifier),
        Key(Qt::Key_E, Qt::AltModifier | Qt::ShiftModifier), Key(Qt::Key_Return)},
       kWorkedExample, kCharge},
      {"after Enter the caret stands before the text", calculated,
       {Focus(kWtrPct), Key(Qt::Key_Return), Type("5"), Key(Qt::Key_Return)},
       {"2.58", "20.00", "512.07", "13.80", "2.00", "10.00"}, kWtrPct},
      {"a figure too wide for its field shows its first digits", calculated,
       {Focus(kCharge), Type("1234567890123"), Key(Qt::Key_Return)},
       {"871216019982.72", "1234567890123.00", "12.07", "13.80", "123456789012.30", "10.00"},
       kCharge},
      {"Down from the last mode button goes round to Calc", Start(CalcMode::Margin, 14.11, 20, 2, 10),
       {Focus(kModeMargin), Key(Qt::Key_Down)}, kWorkedExample, kCalc, 0, CalcMode::Margin},
      {"Right from the Pay button chooses Charge", calculated,
       {Focus(kModePay), Key(Qt::Key_Right)}, kWorkedExample, kModeCharge, 0, CalcMode::Charge},
      {"Up from the Pay button stops on the heading; Enter then calculates", calculated,
       {Focus(kModePay), Key(Qt::Key_Up), Key(Qt::Key_Return)}, kWorkedExample, kCalcHeader, 0,
       CalcMode::Pay},
      {"Left from the Charge button chooses Pay", Start(CalcMode::Charge, 14.11, 20, 2, 10),
       {Focus(kModeCharge), Key(Qt::Key_Left)}, kWorkedExample, kModePay, 0, CalcMode::Pay, true},
      {"Ctrl+A selects a field's text, as the toolkit does", calculated,
       {Focus(kCharge), Key(Qt::Key_End), Key(Qt::Key_A, Qt::ControlModifier), Type("7"),
        Key(Qt::Key_Return)},
       {"4.94", "7.00", "12.07", "13.80", "0.70", "10.00"}, kCharge},
      {"Down from WTR reaches its field, its text selected", calculated,
       {Focus(kWtr), Key(Qt::Key_Down)}, kWorkedExample, kWtrPct},
      {"Left from the charge field moves its caret only", calculated,
       {Focus(kCharge), Key(Qt::Key_End), Key(Qt::Key_Left), Type("9"), Key(Qt::Key_Return)},
       {"14.18", "20.09", "12.07", "13.80", "2.01", "10.00"}, kCharge},
      {"Ctrl+Enter presses Calc", margin,
       {Focus(kCharge), Type("20"), Key(Qt::Key_Return, Qt::ControlModifier)}, margin_of_20, kCharge},
      {"Shift+Enter presses Calc", margin,
       {Focus(kCharge), Type("20"), Key(Qt::Key_Enter, Qt::ShiftModifier)}, margin_of_20, kCharge},
      {"Alt+Enter does not", margin,
       {Focus(kCharge), Type("20"), Key(Qt::Key_Return, Qt::AltModifier)},
       {"10.00", "20", "12.07", "13.80", "0.00", "0.00"}, kCharge},
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
  for (const Scenario& row : Scenarios()) {
    SCOPED_TRACE(row.name);
    RateModel model = row.start;
    g_help_opened = 0;
    CalculatorWindow window(model, "", CountingSeams());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(window.focusWidget(), window.control(kPay));
    EXPECT_EQ(window.font().pointSize(), 8);
    testing::internal::CaptureStderr();
    for (const Step& step : row.steps) {
      QWidget* target = window.focusWidget();
      switch (step.action) {
        case kFocus:
          window.control(step.control_or_key)->setFocus(Qt::TabFocusReason);
          break;
        case kType:
          QTest::keyClicks(target, step.text);
          break;
        case kKey:
          QTest::keyClick(target, static_cast<Qt::Key>(step.control_or_key), step.modifiers);
          break;
        case kClick:
          QTest::mouseClick(window.control(step.control_or_key), Qt::LeftButton);
          break;
      }
    }
    const std::string debug_output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(debug_output.find("NC: 0\n") != std::string::npos, row.debug_line);
    Texts shown;
    // Read-only and blue on the button face exactly where the rules say
    // the window's model has a derived field.
    const Step& last = row.steps.back();
    const bool moved_by_key = last.action == kKey && (last.control_or_key == Qt::Key_Tab ||
                                                      last.control_or_key == Qt::Key_Down);
    const bool drawn =
        last.action == kClick ||
        (last.action == kKey && !(last.modifiers & Qt::AltModifier) &&
         (last.control_or_key == Qt::Key_Return || last.control_or_key == Qt::Key_Enter));
    for (int field = 0; field < kFieldCount; ++field) {
      SCOPED_TRACE("field " + std::to_string(field));
      auto* edit = static_cast<QLineEdit*>(window.control(kFieldControls[field]));
      shown.push_back(edit->text().toStdString());
      const bool derived = !IsInputField(model, field);
      EXPECT_EQ(edit->isReadOnly(), derived);
      EXPECT_EQ(edit->palette().color(QPalette::Text) == QColor(0, 0, 255), derived);
      // A field reached by Tab or an arrow has its text selected; after a
      // calculation every field shows its text from the first character,
      // the caret before it.
      if (moved_by_key && edit == window.focusWidget()) {
        EXPECT_EQ(edit->selectedText(), edit->text());
      } else if (drawn) {
        EXPECT_EQ(edit->cursorPosition(), 0);
        EXPECT_FALSE(edit->hasSelectedText());
      }
    }
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(window.focusWidget(), window.control(row.focus));
    if (row.mode) {
      EXPECT_EQ(model.sCalcMode, *row.mode);
    }
    EXPECT_TRUE(
        static_cast<QRadioButton*>(window.control(ModeControl(model.sCalcMode)))->isChecked());
    EXPECT_EQ(static_cast<QCheckBox*>(window.control(kWtr))->isChecked(), model.bCalcWTR == 1);
    EXPECT_EQ(static_cast<QCheckBox*>(window.control(kErni))->isChecked(), model.bCalcERNI == 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(g_help_opened, row.help_pages_opened);
  }
}

// The window rules' keystroke rows, pressed in the charge field (a margin
// field where the row's field is read-only) of a window in Margin mode.
TEST(CalculatorWindow, FieldKeysEditAsTheClassicEdit) {
  const Qt::Key keys[] = {Qt::Key_Left,      Qt::Key_Right,  Qt::Key_Up,
                          Qt::Key_Down,      Qt::Key_Home,   Qt::Key_End,
                          Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Insert};
  for (const FieldKeyRow& row : kFieldKeyRows) {
    SCOPED_TRACE(std::string(row.text) + " " + row.keys);
    RateModel model = Start(CalcMode::Margin, 10, 13.80, 0, 0);
    CalculatorWindow window(model, "", CountingSeams());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* edit = static_cast<QLineEdit*>(window.control(row.read_only ? kMarginAmt : kCharge));
    ASSERT_EQ(edit->isReadOnly(), row.read_only);
    edit->setFocus();
    edit->setText(row.text);
    edit->setSelection(row.anchor, row.caret - row.anchor);
    for (const Stroke& stroke : StrokesOf(row.keys)) {
      if (!stroke.key) {
        QTest::keyClicks(edit, QString::fromStdString(stroke.name));
        continue;
      }
      const auto key = *stroke.key == FieldKey::kLetter
                           ? static_cast<Qt::Key>(Qt::Key_A + (stroke.name[0] - 'A'))
                           : keys[static_cast<int>(*stroke.key)];
      QTest::keyClick(edit, key,
                      (stroke.modifiers.ctrl ? Qt::ControlModifier : Qt::NoModifier) |
                          (stroke.modifiers.shift ? Qt::ShiftModifier : Qt::NoModifier) |
                          (stroke.modifiers.alt ? Qt::AltModifier : Qt::NoModifier));
    }
    const int caret = edit->cursorPosition();
    const int start = edit->selectionStart();
    const int end = start + static_cast<int>(edit->selectedText().size());
    EXPECT_EQ(edit->text().toStdString(), row.text_after);
    EXPECT_EQ(!edit->hasSelectedText() ? caret : start == caret ? end : start, row.anchor_after);
    EXPECT_EQ(caret, row.caret_after);
  }
}

// Every control where the template puts it, through the dialog-unit
// conversion of the window's font, its text aligned as its style words say;
// in a font too wide for the template, a text too wide for its place grows
// it on the side away from its neighbour only. Each field is named by its
// label, and the session's end reaches the window.
TEST(CalculatorWindow, ControlsStandWhereTheTemplatePutsThem) {
  const QFont usual = QApplication::font();
  for (int stretch : {int{QFont::Unstretched}, 250}) {
    QFont font = usual;
    font.setStretch(stretch);
    QApplication::setFont(font);
    RateModel model;
    CalculatorWindow window(model, "", CountingSeams());
    EXPECT_TRUE(QObject::disconnect(qApp, &QGuiApplication::commitDataRequest, &window, nullptr));
    const DialogUnits units = DialogUnitsOf(window.font());
    EXPECT_EQ(window.size(), ToPixels(units, {0, 0, 120, 103}).size());
    EXPECT_EQ(window.windowTitle(), "KOV");
    int grown = 0;
    for (std::size_t place = 0; place < kMainWindow.controls.size(); ++place) {
      const ControlTemplate& control = kMainWindow.controls[place];
      SCOPED_TRACE(std::string(control.text) + " stretch " + std::to_string(stretch));
      const QWidget* widget = window.control(static_cast<int>(place));
      const QRect want = ToPixels(units, control.box);
      const QRect got = widget->geometry();
      EXPECT_EQ(got.top(), want.top());
      EXPECT_EQ(got.height(), want.height());
      if (got.width() == want.width()) {
        EXPECT_EQ(got, want);
      } else {
        ++grown;
        // As wide as its text, or up to the window's edge.
        const bool leftwards = control.styles & kTextRight;
        const int room = leftwards ? want.right() + 1 : window.width() - want.left();
        EXPECT_EQ(got.width(), std::min(widget->sizeHint().width(), room));
        EXPECT_EQ(leftwards ? got.right() : got.left(), leftwards ? want.right() : want.left());
      }
      const QVariant alignment = widget->property("alignment");
      if (alignment.isValid()) {
        const int horizontal = alignment.toInt() & Qt::AlignHorizontal_Mask;
        EXPECT_EQ(horizontal, control.styles & kTextRight    ? Qt::AlignRight
                              : control.styles & kTextCentre ? Qt::AlignHCenter
                                                             : Qt::AlignLeft);
      }
      if (control.kind == ControlKind::kField) {
        EXPECT_EQ(widget->accessibleName(), QString::fromLatin1(control.name));
      } else {
        EXPECT_EQ(widget->property("text").toString(), QString::fromLatin1(control.text));
      }
    }
    if (stretch != QFont::Unstretched) {
      EXPECT_GT(grown, 0);
    }
  }
  QApplication::setFont(usual);
  // The conversion itself: a quarter of the character width across, an
  // eighth of its height down, each rounded to nearest; the width from the
  // 52 letters' width, so many pixels for two letters, halved and rounded up.
  EXPECT_EQ(ToPixels({6, 13}, {40, 20, 35, 12}), QRect(60, 33, 53, 20));
  EXPECT_EQ(ToPixels({7, 15}, {3, 59, 32, 12}), QRect(5, 111, 56, 23));
  const int widths[][2] = {{285, 5}, {286, 6}, {337, 6}, {338, 7}, {389, 7}, {390, 8}};
  for (const auto& [letters, width] : widths)
    EXPECT_EQ(AverageCharWidth(letters), width) << letters;
}

// Closing hides the main window first, then shows the About window until
// it is closed, and only then ends the run.
TEST(CalculatorWindow, ClosingPassesThroughTheAboutWindow) {
  RateModel model;
  g_quits = 0;
  CalculatorWindow window(model, "", CountingSeams());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  bool about_seen = false, main_visible_with_about = true;
  int quits_with_about = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible() && top->windowTitle() == "About KOV Rate Calculator") {
        about_seen = true;
        const QLabel* picture = nullptr;
        const QLabel* notice = nullptr;
        for (const QLabel* label : top->findChildren<QLabel*>()) {
          (label->pixmap().isNull() ? notice : picture) = label;
        }
        ASSERT_NE(picture, nullptr);
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(top->font().pointSize(), 8);
        const DialogUnits units = DialogUnitsOf(top->font());
        EXPECT_EQ(top->size(), ToPixels(units, {0, 0, 228, 182}).size());
        EXPECT_EQ(notice->geometry(), ToPixels(units, kAboutWindow.controls[1].box));
        EXPECT_EQ(notice->alignment(), Qt::AlignCenter);
        EXPECT_EQ(notice->text(), QString::fromLatin1(kAboutWindow.controls[1].text));
        EXPECT_EQ(picture->geometry(),
                  QRect(ToPixels(units, kAboutWindow.controls[0].box).topLeft(), QSize(320, 240)));
        EXPECT_EQ(picture->pixmap().size(), QSize(320, 240));
        EXPECT_TRUE(top->windowFlags() & Qt::WindowStaysOnTopHint);
        main_visible_with_about = window.isVisible();
        quits_with_about = g_quits;
        QTest::keyClick(top, Qt::Key_Escape);  // closes nothing
        EXPECT_TRUE(top->isVisible());
        top->close();
      }
    }
  });
  poll.start(10);
  window.close();
  poll.stop();
  EXPECT_TRUE(about_seen);
  EXPECT_FALSE(main_visible_with_about);
  EXPECT_EQ(quits_with_about, 0);
  EXPECT_EQ(g_quits, 1);
}

}  // namespace
}  // namespace ratecalc

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
