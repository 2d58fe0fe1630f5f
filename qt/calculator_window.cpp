#include "calculator_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdio>
#include <string>

#include "about_window.h"
#include "dialog_units.h"
#include "window_rules.h"

namespace ratecalc {

RateModel g_model;
QString g_help_page;
bool (*g_open_url)(const QUrl& url) = QDesktopServices::openUrl;
void (*g_quit)() = [] { QCoreApplication::exit(0); };

namespace {

// The template: the window and its controls' places, in dialog units.
constexpr DialogRect kWindowSize = {0, 0, 120, 103};
constexpr DialogRect kCalcButton = {4, 4, 30, 12};
constexpr DialogRect kValuesHeader = {40, 5, 35, 10};
constexpr DialogRect kCalcHeader = {80, 5, 35, 10};
constexpr DialogRect kPayLabel = {5, 20, 30, 12};
constexpr DialogRect kChargeLabel = {5, 34, 30, 12};
constexpr DialogRect kMarginLabel = {5, 72, 30, 12};
constexpr DialogRect kWtrCheck = {5, 47, 30, 12};
constexpr DialogRect kErniCheck = {3, 59, 32, 12};
constexpr DialogRect kFieldRects[kFieldCount] = {{40, 20, 35, 12}, {40, 33, 35, 12},
                                                 {40, 46, 35, 12}, {40, 59, 35, 12},
                                                 {40, 72, 35, 12}, {40, 84, 35, 12}};
constexpr DialogRect kPercentSigns[] = {{75, 46, 10, 12}, {75, 59, 10, 12}, {75, 84, 10, 12}};
constexpr DialogRect kModeRects[] = {{80, 20, 35, 12}, {80, 33, 35, 12}, {80, 72, 35, 12}};
constexpr CalcMode kModes[] = {CalcMode::Pay, CalcMode::Charge, CalcMode::Margin};
constexpr const char* kModeNames[] = {"Pay", "Charge", "Margin"};

const QColor kDerivedText(0, 0, 255);
const QColor kHeaderText(255, 255, 255);

// The widgets, valid while the window exists.
QDialog* g_window;
QPushButton* g_calc_button;
QCheckBox* g_wtr_check;
QCheckBox* g_erni_check;
QRadioButton* g_mode_buttons[3];
QLineEdit* g_fields[kFieldCount];

// Escape closes nothing, F1 opens the help, and closing runs the close
// sequence; the rest is the dialog's own keyboard handling, which presses
// the default button on Enter wherever the focus is and leaves it there.
class CalculatorDialog : public QDialog {
 public:
  CalculatorDialog() = default;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}
};

int FocusedField() {
  const QWidget* focus = g_window->focusWidget();
  for (int field = 0; field < kFieldCount; ++field) {
    if (focus == g_fields[field]) return field;
  }
  return kNoField;
}

QPalette FieldPalette(bool input_look) {
  QPalette palette = QApplication::palette(g_fields[0]);
  if (!input_look) {
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      palette.setColor(group, QPalette::Text, kDerivedText);
      palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
    }
  }
  return palette;
}

// Makes every control show the model: switches, mode, figures, and which
// fields are read-only and in the derived look.
void RefreshDisplay() {
  g_wtr_check->setChecked(g_model.bCalcWTR != 0);
  g_erni_check->setChecked(g_model.bCalcERNI != 0);
  // Tab reaches the mode buttons once, at the selected one; the arrow keys
  // move among them, and a click still focuses any.
  for (int mode = 0; mode < 3; ++mode) {
    const bool selected = g_model.sCalcMode == kModes[mode];
    if (selected) g_mode_buttons[mode]->setChecked(true);
    g_mode_buttons[mode]->setFocusPolicy(selected ? Qt::StrongFocus : Qt::ClickFocus);
  }
  for (int field = 0; field < kFieldCount; ++field) {
    g_fields[field]->setText(QString::fromLatin1(FieldText(g_model, field).c_str()));
  }
  for (int field = 0; field < kFieldCount; ++field) {
    const bool input = IsInputField(g_model, field);
    g_fields[field]->setReadOnly(!input);
    g_fields[field]->setPalette(FieldPalette(input));
  }
}

// Read, calculate, show; a refused result (a figure too long for a field)
// beeps and leaves the previous figures on show. Fields hold text of the
// Latin-1 range, as the Windows program's single-byte fields do.
void CalculateFromWindow() {
  std::string texts[kFieldCount];
  FieldTexts views;
  for (int field = 0; field < kFieldCount; ++field) {
    const QByteArray bytes = g_fields[field]->text().toLatin1();
    texts[field].assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    views[static_cast<std::size_t>(field)] = texts[field];
  }
  if (PressCalc(g_model, views, FocusedField()).refused) QApplication::beep();
  RefreshDisplay();
}

void SelectMode(int mode) {
  // The Windows program's one diagnostic line, on the standard error here.
  if (kModes[mode] == CalcMode::Pay) std::fputs("NC: 0\n", stderr);
  g_model.sCalcMode = kModes[mode];
  RefreshDisplay();
}

void CalculatorDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) g_open_url(QUrl::fromLocalFile(g_help_page));
  if (event->key() == Qt::Key_F1 || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CalculatorDialog::closeEvent(QCloseEvent* event) {
  event->accept();
  for (CloseStep step : kCloseSequence) {
    if (step == CloseStep::kHideMainWindow) g_window->hide();
    if (step == CloseStep::kShowAboutAndWait) ShowAboutWindow();
    if (step == CloseStep::kQuit) g_quit();
  }
  g_window->deleteLater();
  g_window = nullptr;
}

// A font wider for its size than the template's may not fit a text into
// its place: then the place grows into the margin beside it, leftwards for
// right-aligned labels and rightwards for the mode buttons, so that a text
// that fits looks just as in the template.
QRect FitText(QWidget* widget, const DialogRect& rect, const DialogUnits& units) {
  QRect place = ToPixels(units, rect);
  const int needed = widget->sizeHint().width();
  if (needed <= place.width()) return place;
  if (rect.x < kWindowSize.width / 2) {
    place.setLeft(std::max(0, place.right() + 1 - needed));
  } else {
    place.setWidth(std::min(needed, ToPixels(units, kWindowSize).width() - place.left()));
  }
  return place;
}

QLabel* AddLabel(const char* text, const DialogRect& rect, Qt::Alignment alignment,
                 const DialogUnits& units) {
  QLabel* label = new QLabel(QString::fromUtf8(text), g_window);
  label->setAlignment(alignment | Qt::AlignVCenter);
  label->setGeometry(alignment & Qt::AlignRight ? FitText(label, rect, units)
                                                : ToPixels(units, rect));
  return label;
}

// White on the button-shadow colour, as the column headers are drawn.
void AddHeader(const char* text, const DialogRect& rect, const DialogUnits& units) {
  QLabel* header = AddLabel(text, rect, Qt::AlignHCenter, units);
  QPalette palette = header->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
  palette.setColor(QPalette::WindowText, kHeaderText);
  header->setPalette(palette);
  header->setAutoFillBackground(true);
}

QLineEdit* AddField(int field, const DialogUnits& units) {
  QLineEdit* edit = new QLineEdit(g_window);
  edit->setGeometry(ToPixels(units, kFieldRects[field]));
  edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return edit;
}

// The box on the right of its text, as the Windows check boxes are drawn.
QCheckBox* AddSwitch(const char* text, const DialogRect& rect, int RateModel::*flag,
                     const DialogUnits& units) {
  QCheckBox* check = new QCheckBox(QString::fromLatin1(text), g_window);
  check->setGeometry(ToPixels(units, rect));
  check->setLayoutDirection(Qt::RightToLeft);
  QObject::connect(check, &QCheckBox::clicked, [check, flag] {
    g_model.*flag = check->isChecked() ? 1 : 0;
    CalculateFromWindow();
  });
  return check;
}

}  // namespace

// The widgets are made in the template's order, which is the tab order:
// Calc, then the fields and switches row by row, then the mode buttons.
QDialog* CreateCalculatorWindow() {
  g_window = new CalculatorDialog;
  g_window->setWindowTitle(QStringLiteral("KOV"));
  g_window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  QFont font = g_window->font();
  font.setPointSize(8);  // the template's size
  g_window->setFont(font);
  const DialogUnits units = DialogUnitsOf(font);
  g_window->setFixedSize(ToPixels(units, kWindowSize).size());

  // A click still focuses Calc, so that a clicked Calc lets the margin
  // percentage win, but Tab never stops there.
  g_calc_button = new QPushButton(QStringLiteral("Calc"), g_window);
  g_calc_button->setGeometry(ToPixels(units, kCalcButton));
  g_calc_button->setDefault(true);
  g_calc_button->setFocusPolicy(Qt::ClickFocus);
  QObject::connect(g_calc_button, &QPushButton::clicked, [] { CalculateFromWindow(); });

  AddHeader("Values", kValuesHeader, units);
  AddLabel("Pay  \u00a3", kPayLabel, Qt::AlignRight, units);
  g_fields[kPayField] = AddField(kPayField, units);
  AddLabel("Charge  \u00a3", kChargeLabel, Qt::AlignRight, units);
  g_fields[kChargeField] = AddField(kChargeField, units);
  g_wtr_check = AddSwitch("WTR", kWtrCheck, &RateModel::bCalcWTR, units);
  g_fields[kWtrPctField] = AddField(kWtrPctField, units);
  AddLabel("%", kPercentSigns[0], Qt::AlignHCenter, units);
  g_erni_check = AddSwitch("ER NI", kErniCheck, &RateModel::bCalcERNI, units);
  g_fields[kErniPctField] = AddField(kErniPctField, units);
  AddLabel("%", kPercentSigns[1], Qt::AlignHCenter, units);
  AddLabel("Margin  \u00a3", kMarginLabel, Qt::AlignRight, units);
  g_fields[kMarginAmtField] = AddField(kMarginAmtField, units);
  g_fields[kMarginPctField] = AddField(kMarginPctField, units);
  AddLabel("%", kPercentSigns[2], Qt::AlignHCenter, units);
  AddHeader("Calc", kCalcHeader, units);
  for (int mode = 0; mode < 3; ++mode) {
    g_mode_buttons[mode] = new QRadioButton(QString::fromLatin1(kModeNames[mode]), g_window);
    g_mode_buttons[mode]->setGeometry(FitText(g_mode_buttons[mode], kModeRects[mode], units));
    QObject::connect(g_mode_buttons[mode], &QRadioButton::clicked, [mode] { SelectMode(mode); });
  }

  RefreshDisplay();
  g_fields[kPayField]->setFocus(Qt::OtherFocusReason);  // the first tab stop, read-only or not
  return g_window;
}

}  // namespace ratecalc
