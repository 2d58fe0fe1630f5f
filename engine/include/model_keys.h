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

}  // namespace ratecalc
