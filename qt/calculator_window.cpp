#include "calculator_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "about_window.h"
#include "dialog_units.h"
#include "figures_save.h"
#include "window_looks.h"

namespace ratecalc {
namespace {

Qt::Alignment AlignmentOf(unsigned styles) {
  Qt::Alignment alignment = Qt::AlignLeft;
  if (styles & kTextRight) alignment = Qt::AlignRight;
  if (styles & kTextCentre) alignment = Qt::AlignHCenter;
  return alignment | Qt::AlignVCenter;
}

// A font wider for its size than the template's may not fit a text into
// its place: then the place grows into the margin beside it, leftwards for
// right-aligned labels and rightwards for the mode buttons, so that a text
// that fits looks just as in the template.
QRect FitText(const QWidget* widget, const DialogBox& box, const DialogUnits& units) {
  QRect place = ToPixels(units, box);
  const int needed = widget->sizeHint().width();
  if (needed <= place.width()) return place;
  const QRect window = ToPixels(units, {0, 0, kMainWindow.width, kMainWindow.height});
  if (box.x < kMainWindow.width / 2) {
    place.setLeft(std::max(0, place.right() + 1 - needed));
  } else {
    place.setWidth(std::min(needed, window.width() - place.left()));
  }
  return place;
}

}  // namespace

CalculatorWindow::CalculatorWindow(RateModel& model, std::string settings_path, Seams seams)
    : model_(model), settings_path_(std::move(settings_path)), seams_(std::move(seams)) {
  setWindowTitle(QString::fromLatin1(kMainWindow.caption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  QFont template_font = font();
  template_font.setPointSize(kMainWindow.point_size);
  setFont(template_font);
  buildControls();
  draw(ViewOf(model_));
  focusPlace(FieldControl(kPayField));  // the first tab stop, read-only or not
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { saveForSessionEnd(); });
}

// The controls are made in the template's order, so that the window's
// children stand in the order the rules number them.
void CalculatorWindow::buildControls() {
  const DialogUnits units = DialogUnitsOf(font());
  setFixedSize(ToPixels(units, {0, 0, kMainWindow.width, kMainWindow.height}).size());
  for (std::size_t place = 0; place < kMainWindow.controls.size(); ++place) {
    const ControlTemplate& control = kMainWindow.controls[place];
    QWidget* widget = makeControl(control);
    const bool fits_text = control.kind == ControlKind::kModeButton ||
                           (control.kind == ControlKind::kLabel && (control.styles & kTextRight));
    widget->setGeometry(fits_text ? FitText(widget, control.box, units)
                                  : ToPixels(units, control.box));
    widget->installEventFilter(this);
    controls_[place] = widget;
  }
}

QWidget* CalculatorWindow::makeControl(const ControlTemplate& control) {
  const QString text = QString::fromLatin1(control.text);
  switch (control.kind) {
    case ControlKind::kCalcButton: {
      // A click still focuses Calc, so that a clicked Calc lets the margin
      // percentage win, but Tab never stops there.
      auto* button = new QPushButton(text, this);
      button->setDefault(control.styles & kDefaultButton);
      button->setFocusPolicy(Qt::ClickFocus);
      connect(button, &QPushButton::clicked, this, [this] { pressCalc(); });
      return button;
    }
    case ControlKind::kField: {
      auto* field = new QLineEdit(this);
      field->setAlignment(AlignmentOf(control.styles));
      field->setAccessibleName(QString::fromLatin1(control.name));
      // An edit the line edit makes itself (its context menu, a drop)
      // leaves nothing the window could undo.
      const auto index = static_cast<std::size_t>(control.item);
      connect(field, &QLineEdit::textEdited, this, [this, index] { undo_[index] = {}; });
      fields_[index] = field;
      return field;
    }
    case ControlKind::kSwitch: {
      auto* check = new QCheckBox(text, this);
      if (control.styles & kBoxRight) check->setLayoutDirection(Qt::RightToLeft);
      const auto which = static_cast<Switch>(control.item);
      connect(check, &QCheckBox::clicked, this, [this, which] { toggleSwitch(which); });
      switches_[static_cast<std::size_t>(which)] = check;
      return check;
    }
    case ControlKind::kModeButton: {
      auto* button = new QRadioButton(text, this);
      const auto mode = static_cast<CalcMode>(control.item);
      connect(button, &QRadioButton::clicked, this, [this, mode] { chooseMode(mode); });
      mode_buttons_[static_cast<std::size_t>(ModeIndex(mode))] = button;
      return button;
    }
    default: {
      auto* label = new QLabel(text, this);
      label->setAlignment(AlignmentOf(control.styles));
      if (control.kind == ControlKind::kHeader) {
        label->setPalette(
            Painted(label->palette(), kHeaderLook, QPalette::WindowText, QPalette::Window));
        label->setAutoFillBackground(true);
      }
      return label;
    }
  }
}

// The view drawn: each text set whole and shown from its first character,
// the caret before it, so a figure too wide for its field shows its first
// digits and what is typed next goes in front.
void CalculatorWindow::draw(const WindowView& view) {
  for (int which = 0; which < kSwitchCount; ++which) {
    switches_[static_cast<std::size_t>(which)]->setChecked(
        view.switch_on[static_cast<std::size_t>(which)]);
  }
  mode_buttons_[static_cast<std::size_t>(ModeIndex(view.mode))]->setChecked(true);
  for (int field = 0; field < kFieldCount; ++field) {
    const FieldView& shown = view.fields[static_cast<std::size_t>(field)];
    QLineEdit* edit = fields_[static_cast<std::size_t>(field)];
    edit->setText(QString::fromLatin1(shown.text.c_str()));
    edit->setCursorPosition(0);
    undo_[static_cast<std::size_t>(field)] = {};
    edit->setReadOnly(!shown.input);
    edit->setPalette(
        Painted(QApplication::palette(edit), LookOf(shown), QPalette::Text, QPalette::Base));
  }
  if (view.refused) QApplication::beep();
}

int CalculatorWindow::focusedPlace() const {
  const auto found = std::find(controls_.begin(), controls_.end(), focusWidget());
  return found == controls_.end() ? -1 : static_cast<int>(found - controls_.begin());
}

int CalculatorWindow::focusedField() const {
  const int place = focusedPlace();
  if (place < 0) return kNoField;
  const ControlTemplate& control = kMainWindow.controls[static_cast<std::size_t>(place)];
  return control.kind == ControlKind::kField ? control.item : kNoField;
}

// Fields hold text of the Latin-1 range, as the Windows program's
// single-byte fields do.
std::array<QByteArray, kFieldCount> CalculatorWindow::fieldBytes() const {
  std::array<QByteArray, kFieldCount> bytes;
  for (std::size_t field = 0; field < bytes.size(); ++field) {
    bytes[field] = fields_[field]->text().toLatin1();
  }
  return bytes;
}

namespace {

FieldTexts TextsOf(const std::array<QByteArray, kFieldCount>& bytes) {
  FieldTexts texts;
  for (std::size_t field = 0; field < bytes.size(); ++field) {
    texts[field] = {bytes[field].constData(), static_cast<std::size_t>(bytes[field].size())};
  }
  return texts;
}

KeyModifiers ModifiersOf(const QKeyEvent& key) {
  const Qt::KeyboardModifiers held = key.modifiers();
  return {.alt = (held & Qt::AltModifier) != 0,
          .ctrl = (held & Qt::ControlModifier) != 0,
          .super = (held & Qt::MetaModifier) != 0,
          .shift = (held & Qt::ShiftModifier) != 0};
}

// The keys the field rules decide, by the key they are; letters only with
// Ctrl, as the shortcuts they are then.
std::optional<FieldKey> FieldKeyOf(const QKeyEvent& key) {
  static constexpr std::pair<int, FieldKey> kKeys[] = {
      {Qt::Key_Left, FieldKey::kLeft},     {Qt::Key_Right, FieldKey::kRight},
      {Qt::Key_Up, FieldKey::kUp},         {Qt::Key_Down, FieldKey::kDown},
      {Qt::Key_Home, FieldKey::kHome},     {Qt::Key_End, FieldKey::kEnd},
      {Qt::Key_Delete, FieldKey::kDelete}, {Qt::Key_Backspace, FieldKey::kBackspace},
      {Qt::Key_Insert, FieldKey::kInsert}};
  for (const auto& [qt_key, field_key] : kKeys) {
    if (key.key() == qt_key) return field_key;
  }
  const bool letter = key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z;
  if (letter && (key.modifiers() & Qt::ControlModifier)) return FieldKey::kLetter;
  return std::nullopt;
}

}  // namespace

// A key in a field: the field rules decide what it does, the line edit only
// shows the result. Keys no rule is about (Tab, Enter, Escape, F1) go on.
bool CalculatorWindow::fieldKeyPress(int field, const QKeyEvent& key) {
  QLineEdit* edit = fields_[static_cast<std::size_t>(field)];
  FieldEdit now{edit->text().toLatin1().toStdString(), edit->cursorPosition(),
                edit->cursorPosition(), undo_[static_cast<std::size_t>(field)]};
  if (edit->hasSelectedText()) {
    const int start = edit->selectionStart();
    now.anchor = start == now.caret ? start + static_cast<int>(edit->selectedText().size()) : start;
  }
  const KeyModifiers modifiers = ModifiersOf(key);
  if (const std::optional<FieldKey> field_key = FieldKeyOf(key)) {
    const char letter = static_cast<char>('A' + (key.key() - Qt::Key_A));
    const FieldAnswer answer =
        PressFieldKey(now, *field_key, letter, modifiers, edit->isReadOnly());
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (answer.action == FieldAction::kCopy || answer.action == FieldAction::kCut) {
      const std::string_view copied = SelectedText(now);
      clipboard->setText(QString::fromLatin1(copied.data(), static_cast<qsizetype>(copied.size())));
    }
    if (answer.action == FieldAction::kPaste) {
      drawEdit(field, TypeIntoField(answer.edit, clipboard->text().toLatin1().toStdString()));
    } else {
      drawEdit(field, answer.edit);
    }
    return true;
  }
  const bool printable = !key.text().isEmpty() && key.text().front().isPrint();
  if (!printable) return false;
  if (KeyTypesText(modifiers) && !edit->isReadOnly()) {
    drawEdit(field, TypeIntoField(now, key.text().toLatin1().toStdString()));
  }
  return true;
}

void CalculatorWindow::drawEdit(int field, const FieldEdit& edit) {
  QLineEdit* line = fields_[static_cast<std::size_t>(field)];
  const QString text =
      QString::fromLatin1(edit.text.data(), static_cast<qsizetype>(edit.text.size()));
  if (line->text() != text) line->setText(text);
  if (edit.anchor == edit.caret) {
    line->setCursorPosition(edit.caret);
  } else {
    line->setSelection(edit.anchor, edit.caret - edit.anchor);
  }
  undo_[static_cast<std::size_t>(field)] = edit.undo;
}

void CalculatorWindow::pressCalc() {
  const auto bytes = fieldBytes();
  draw(PressCalc(model_, TextsOf(bytes), focusedField()));
}

void CalculatorWindow::toggleSwitch(Switch which) {
  const auto bytes = fieldBytes();
  draw(ToggleSwitch(model_, which, TextsOf(bytes)));
}

void CalculatorWindow::chooseMode(CalcMode mode) {
  // The Windows program's one diagnostic line, on the standard error here.
  if (mode == CalcMode::Pay) std::fputs("NC: 0\n", stderr);
  draw(ChooseMode(model_, mode));
}

// As Tab does: a field so reached has its whole text selected.
void CalculatorWindow::focusPlace(int place) {
  controls_[static_cast<std::size_t>(place)]->setFocus(Qt::TabFocusReason);
}

bool CalculatorWindow::focusNextPrevChild(bool next) {
  focusPlace(NextTabStop(model_, focusedPlace(), next));
  return true;
}

// The arrow keys on any control but a field, and every key a field edits
// with.
bool CalculatorWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<const QKeyEvent*>(event);
  const auto found = std::find(controls_.begin(), controls_.end(), watched);
  if (found == controls_.end()) return false;  // watched only on the controls
  const int place = static_cast<int>(found - controls_.begin());
  const Qt::KeyboardModifiers modifiers = key->modifiers();
  const ControlTemplate& control = kMainWindow.controls[static_cast<std::size_t>(place)];
  if (control.kind == ControlKind::kField) return fieldKeyPress(control.item, *key);
  if (modifiers & Qt::AltModifier) return false;
  bool forward;
  switch (key->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
      forward = true;
      break;
    case Qt::Key_Up:
    case Qt::Key_Left:
      forward = false;
      break;
    default:
      return false;
  }
  const ArrowMove move = MoveByArrow(model_, place, forward);
  focusPlace(move.control);
  if (move.chooses_mode) {
    chooseMode(
        static_cast<CalcMode>(kMainWindow.controls[static_cast<std::size_t>(move.control)].item));
  }
  return true;
}

void CalculatorWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    if (seams_.open_help) seams_.open_help();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // The dialog's default button would take Enter without modifiers only.
    if (EnterPressesCalc(ModifiersOf(*event))) pressCalc();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape calls reject, which does nothing
}

void CalculatorWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  hide();
  AboutWindow about;
  about.exec();
  if (seams_.quit) seams_.quit();
}

SaveOutcome CalculatorWindow::saveForSessionEnd() { return SaveFigures(model_, settings_path_); }

}  // namespace ratecalc
