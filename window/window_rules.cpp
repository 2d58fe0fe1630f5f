#include "window_rules.h"

namespace ratecalc {

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

MarginFocus MarginFocusOf(int focused_field) {
  if (focused_field == kMarginAmtField) return MarginFocus::Amount;
  if (focused_field == kMarginPctField) return MarginFocus::Percent;
  return MarginFocus::None;
}

namespace {

bool AllFiguresFit(const RateModel& model) {
  for (const FigureKey& figure : kFigures) {
    if (FormatValueText(model.*figure.member).length > kMaxValueTextLength) return false;
  }
  return true;
}

}  // namespace

bool CalculateFromTexts(RateModel& model, const FieldTexts& texts, int focused_field) {
  RateModel result = model;
  for (int field = 0; field < kFieldCount; ++field) {
    const std::string_view text = texts[static_cast<std::size_t>(field)];
    result.*kFigures[field].member = ParseValue(text.substr(0, kMaxValueTextLength));
  }
  Calculate(result, MarginFocusOf(focused_field));
  if (!AllFiguresFit(result)) return false;
  model = result;
  return true;
}

ValueText FieldText(const RateModel& model, int field) {
  return FormatValueText(model.*kFigures[field].member);
}

void RunCloseSequence(const CloseSteps& steps) {
  steps.hide_main_window();
  steps.show_about_and_wait();
  steps.quit();
}

}  // namespace ratecalc
