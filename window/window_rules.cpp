#include "window_rules.h"

#include <cstddef>

#include "model_keys.h"

namespace ratecalc {

static_assert(kFieldCount == kFigureCount);
static_assert(std::size(kFlags) == kSwitchCount);

bool IsInputField(const RateModel& model, int field) {
  switch (field) {
    case kPayField:
      return model.sCalcMode != CalcMode::Pay;
    case kChargeField:
      return model.sCalcMode != CalcMode::Charge;
    case kWtrPctField:
      return model.bCalcWTR == 1;
    case kErniPctField:
      return model.bCalcERNI == 1;
    default:
      return model.sCalcMode != CalcMode::Margin;
  }
}

namespace {

// The margin form the focused field asks for: the margin amount field gives
// Amount, the margin percentage field Percent, any other place None.
MarginFocus MarginFocusOf(int focused_field) {
  if (focused_field == kMarginAmtField) return MarginFocus::Amount;
  if (focused_field == kMarginPctField) return MarginFocus::Percent;
  return MarginFocus::None;
}

}  // namespace

WindowView ViewOf(const RateModel& model) {
  WindowView view;
  for (int which = 0; which < kSwitchCount; ++which) {
    view.switch_on[static_cast<std::size_t>(which)] = model.*kFlags[which].member != 0;
  }
  view.mode = model.sCalcMode;
  for (int field = 0; field < kFieldCount; ++field) {
    view.fields[static_cast<std::size_t>(field)] = {FormatValueText(model.*kFigures[field].member),
                                                    IsInputField(model, field)};
  }
  view.refused = false;
  return view;
}

namespace {

bool AllFiguresFit(const RateModel& model) {
  for (const FigureKey& figure : kFigures) {
    if (FormatValueText(model.*figure.member).length > kMaxValueTextLength) return false;
  }
  return true;
}

}  // namespace

WindowView PressCalc(RateModel& model, const FieldTexts& texts, int focused_field) {
  RateModel result = model;
  for (int field = 0; field < kFieldCount; ++field) {
    const std::string_view text = texts[static_cast<std::size_t>(field)];
    result.*kFigures[field].member = ParseValue(text.substr(0, kMaxValueTextLength));
  }
  Calculate(result, MarginFocusOf(focused_field));
  const bool refused = !AllFiguresFit(result);
  if (!refused) model = result;
  WindowView view = ViewOf(model);
  view.refused = refused;
  return view;
}

WindowView ToggleSwitch(RateModel& model, Switch which, const FieldTexts& texts) {
  int& flag = model.*kFlags[which].member;
  flag = flag ? 0 : 1;
  return PressCalc(model, texts, kNoField);
}

WindowView ChooseMode(RateModel& model, CalcMode mode) {
  model.sCalcMode = mode;
  return ViewOf(model);
}

bool KeyTypesText(KeyModifiers modifiers) {
  return !modifiers.alt && !modifiers.ctrl && !modifiers.super;
}

namespace {

int Step(int from, bool forward) {
  const int count = static_cast<int>(kMainWindow.controls.size());
  // From no control (the focus elsewhere), the first step reaches either end.
  if (from < 0 || from >= count) from = forward ? count - 1 : 0;
  return (from + (forward ? 1 : count - 1)) % count;
}

bool IsSelectedMode(const RateModel& model, const ControlTemplate& control) {
  return control.item == static_cast<int>(model.sCalcMode);
}

}  // namespace

ArrowMove MoveByArrow(const RateModel& model, int from, bool forward) {
  const int to = Step(from, forward);
  const ControlTemplate& control = kMainWindow.controls[static_cast<std::size_t>(to)];
  return {to, control.kind == ControlKind::kModeButton && !IsSelectedMode(model, control)};
}

int NextTabStop(const RateModel& model, int from, bool forward) {
  int at = from;
  for (std::size_t tries = 0; tries < kMainWindow.controls.size(); ++tries) {
    at = Step(at, forward);
    const ControlTemplate& control = kMainWindow.controls[static_cast<std::size_t>(at)];
    if (!(control.styles & kTabStop)) continue;
    if (control.kind == ControlKind::kModeButton && !IsSelectedMode(model, control)) continue;
    return at;
  }
  return from;
}

}  // namespace ratecalc
