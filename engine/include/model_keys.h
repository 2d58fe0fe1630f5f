// The model's persisted values, each named once: the settings file stores
// them under these keys in this order, and the window shows the six figures
// in the order of kFigures.
#pragma once

#include <iterator>

#include "rate_model.h"

namespace ratecalc {

struct FlagKey {
  const char* key;
  int RateModel::*member;
};

struct FigureKey {
  const char* key;
  double RateModel::*member;
};

// clang-format off
inline constexpr FlagKey kFlags[] = {
    {"bCalcWTR",  &RateModel::bCalcWTR},
    {"bCalcERNI", &RateModel::bCalcERNI},
};

// The six amounts and percentages, in the order the window lists its fields.
inline constexpr FigureKey kFigures[] = {
    {"nPayAmt",    &RateModel::nPayAmt},
    {"nChargeAmt", &RateModel::nChargeAmt},
    {"nWTRPct",    &RateModel::nWTRPct},
    {"nERNIPct",   &RateModel::nERNIPct},
    {"nMarginAmt", &RateModel::nMarginAmt},
    {"nMarginPct", &RateModel::nMarginPct},
};
// clang-format on

inline constexpr int kFigureCount = static_cast<int>(std::size(kFigures));

inline constexpr const char* kModeKey = "sCalcMode";

// The three modes in the order of CalcMode, with the names the settings
// file stores; a stored name is read by its first letter.
struct ModeName {
  CalcMode mode;
  const char* name;
};
inline constexpr ModeName kModes[] = {
    {CalcMode::Pay, "Pay"}, {CalcMode::Charge, "Charge"}, {CalcMode::Margin, "Margin"}};
inline constexpr int kModeCount = static_cast<int>(std::size(kModes));

// A mode's place in kModes, and back.
constexpr int ModeIndex(CalcMode mode) { return static_cast<int>(mode) - 1; }
constexpr CalcMode ModeAt(int index) { return kModes[index].mode; }
static_assert(ModeAt(0) == CalcMode::Pay && ModeIndex(ModeAt(kModeCount - 1)) == kModeCount - 1);
// The stored name of a mode; of a value no mode has, Pay's.
constexpr const char* NameOf(CalcMode mode) {
  for (const ModeName& known : kModes) {
    if (known.mode == mode) return known.name;
  }
  return kModes[0].name;
}

// Every key of the settings section: the flags, the figures, then the mode.
inline constexpr std::size_t kKeyCount = std::size(kFlags) + std::size(kFigures) + 1;

}  // namespace ratecalc
