// What the calculator window shows and does, whatever toolkit draws it. A
// front end reads its fields' texts and which field has the focus, calls
// the entry for what the user did, and draws the view it gets back: every
// figure, mode, switch and look is decided here, so the same keystrokes give
// the same figures in every front end.
//
// Drawing a view: each field's text is set whole, shown from its first
// character with the caret before it (a figure wider than its field shows
// its first digits); a field the user reaches by Tab or an arrow key has its
// whole text selected. An input field is editable and in kInputLook; a
// derived one is read-only yet focusable and in kDerivedLook.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "rate_model.h"
#include "value_text.h"
#include "window_template.h"

namespace ratecalc {

struct FieldView {
  ValueText text;
  bool input;  // typed in; else derived: read-only and in kDerivedLook
};

// What every control of the calculator window shows.
struct WindowView {
  std::array<bool, kSwitchCount> switch_on;
  CalcMode mode;  // the one mode button selected
  std::array<FieldView, kFieldCount> fields;
  // The command was refused (a figure too long for its field) and changed
  // no figure: the front end signals it, a beep.
  bool refused;
};

WindowView ViewOf(const RateModel& model);

inline const Look& LookOf(const FieldView& field) {
  return field.input ? kInputLook : kDerivedLook;
}

// The fields' texts as the front end read them, in the order of Field.
using FieldTexts = std::array<std::string_view, kFieldCount>;

// Enter (wherever the focus), a click on Calc, or Space on it: reads the
// six texts, as much of each as a field holds (kMaxValueTextLength
// characters), and calculates with the margin form of the focused field
// (a Field, or kNoField). A result with a figure too long for a field to
// hold back is refused and the model stays as it was.
WindowView PressCalc(RateModel& model, const FieldTexts& texts, int focused_field);

// A click on a switch, or Space on it: turns its on-cost on or off, then
// calculates as PressCalc does with the focus on the switch, so the margin
// percentage wins whenever it is greater than zero.
WindowView ToggleSwitch(RateModel& model, Switch which, const FieldTexts& texts);

// A click on a mode button, or an arrow key reaching it: the mode changes
// and every field shows the model again; nothing is read or calculated, so
// text typed since the last calculation is replaced.
WindowView ChooseMode(RateModel& model, CalcMode mode);

// The close box (or Alt+F4) takes three steps in this order, each front end
// in its own close handler: the window vanishes at once; the About window
// shows, modal, until the user closes it; the program's run ends. Saving
// comes after all of them, in the entry point.

// Two keys every front end keeps as they are: Escape closes nothing, and F1
// opens the help.

// A key with a character types it into a field only without Alt, Ctrl or
// the Super (Windows) key: with one of them, a key the window does not use
// types nothing. (A toolkit's AltGr, which types a layout's third level,
// is not Alt.)
struct KeyModifiers {
  bool alt = false;
  bool ctrl = false;
  bool super = false;
  bool shift = false;
};
bool KeyTypesText(KeyModifiers modifiers);

// Enter presses Calc wherever the focus is, with or without Ctrl or Shift;
// with Alt it does nothing, as in the Windows dialog.
bool EnterPressesCalc(KeyModifiers modifiers);

// The keys inside a field, decided here rather than by each toolkit's own
// line edit, so that they edit as the classic Windows single-line edit
// does. A field's text is single-byte; the selection runs from `anchor` to
// `caret` (the same place for none). `undo` is what Ctrl+Z puts back: one
// level, and Ctrl+Z again undoes the undo. A front end starts every field
// with an empty FieldUndo whenever it sets the field's text.
struct FieldUndo {
  std::string removed;  // the text the last edit took out, put back at `at`
  int at = 0;
  int inserted = 0;  // how many characters from `at` the last edit put in
};
struct FieldEdit {
  std::string text;
  int anchor = 0;
  int caret = 0;
  FieldUndo undo;
};

enum class FieldKey {
  kLeft,
  kRight,
  kUp,
  kDown,
  kHome,
  kEnd,
  kBackspace,
  kDelete,
  kInsert,
  kLetter
};

// What a key does to a field: nothing, an edit, or a clipboard action. For
// kCopy and kCut the field's selected text (SelectedText of the field as it
// was) goes to the clipboard, then `edit` is drawn; for kPaste the front end
// types the clipboard's text into `edit` with TypeIntoField.
enum class FieldAction { kIgnored, kEdit, kCopy, kCut, kPaste };
struct FieldAnswer {
  FieldAction action;
  FieldEdit edit;
};

// `letter` is the key's upper-case letter for kLetter, with Ctrl held.
FieldAnswer PressFieldKey(const FieldEdit& field, FieldKey key, char letter, KeyModifiers modifiers,
                          bool read_only);

// Typed or pasted text replaces the selection; a single-line field takes it
// only up to its first line break.
FieldEdit TypeIntoField(const FieldEdit& field, std::string_view typed);

std::string_view SelectedText(const FieldEdit& field);

// The arrow keys on a control that is not a field (a field keeps them for
// its caret): all twenty controls of kMainWindow form one group, so the
// focus moves to the next control in template order (Down, Right) or the
// previous (Up, Left), round from the last to the first. A mode button so
// reached that is not selected is chosen (call ChooseMode); a field so
// reached has its text selected. `from` and the answer's `control` are
// places in kMainWindow.controls; from no place (kNoField, the focus
// elsewhere) the move starts at either end.
struct ArrowMove {
  int control;
  bool chooses_mode;
};
ArrowMove MoveByArrow(const RateModel& model, int from, bool forward);

// Tab (forward) and Shift+Tab: the next control with kTabStop in template
// order, round from the last to the first, where of the mode buttons only
// the selected one is a stop. Never the Calc button.
int NextTabStop(const RateModel& model, int from, bool forward);

// Whether the user types in the field, by the mode and the switches.
bool IsInputField(const RateModel& model, int field);

}  // namespace ratecalc
