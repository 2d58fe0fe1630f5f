// What the calculator window decides whatever toolkit draws it: which field
// the user types in, how the six texts become figures, which margin form
// the focus picks, which results are refused, what each field shows and
// the order of the close sequence. Both front ends call these, so the same
// keystrokes give the same figures on every platform.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model_keys.h"
#include "rate_model.h"
#include "value_text.h"

namespace ratecalc {

// The six fields, in the order of kFigures: the window lists, reads and
// writes them in this order.
enum Field {
  kPayField,
  kChargeField,
  kWtrPctField,
  kErniPctField,
  kMarginAmtField,
  kMarginPctField
};
inline constexpr int kFieldCount = kFigureCount;

// No field: the focus is on a button, or elsewhere.
inline constexpr int kNoField = -1;

using FieldTexts = std::array<std::string_view, kFieldCount>;

// Whether the user types in the field, by the mode and the switches; the
// others are derived: read-only and drawn in the derived look.
bool IsInputField(const RateModel& model, int field);

// The margin form the focused field asks for: the margin amount field gives
// Amount, the margin percentage field Percent, any other place None.
MarginFocus MarginFocusOf(int focused_field);

// Reads the six texts into the model, as much of each as a field holds
// (kMaxValueTextLength characters), then calculates with the margin form of
// the focused field. A result with a figure too long for a field to hold
// back is refused: the model stays as it was and the answer is false, for
// the window to signal.
bool CalculateFromTexts(RateModel& model, const FieldTexts& texts, int focused_field);

// The text a field shows for the model.
ValueText FieldText(const RateModel& model, int field);

// The close sequence, in this order: the main window vanishes, the About
// window is shown and waited for, then the program is told to quit. Saving
// comes after all three, in the entry point.
struct CloseSteps {
  void (*hide_main_window)();
  void (*show_about_and_wait)();
  void (*quit)();
};
void RunCloseSequence(const CloseSteps& steps);

// Where the Linux program keeps its settings: in kov-rate-calculator/ under
// $XDG_CONFIG_HOME, or under ~/.config when that is unset, empty or not an
// absolute path. Empty when neither folder is known.
std::string LinuxSettingsPath(const char* xdg_config_home, const char* home);

}  // namespace ratecalc
