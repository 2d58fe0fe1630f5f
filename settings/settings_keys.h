// The nine keys of section "RateCalc": their order, how each value reads,
// and how the model's values are stored.
#pragma once

#include <array>
#include <string_view>

#include "ini_text.h"
#include "model_keys.h"
#include "rate_model.h"
#include "value_text.h"

namespace ratecalc {

inline constexpr std::string_view kSection = "RateCalc";

inline constexpr std::size_t kFirstFigure = std::size(kFlags);
inline constexpr std::size_t kModeIndex = kFirstFigure + std::size(kFigures);
inline constexpr std::size_t kKeyCount = kModeIndex + 1;
static_assert(kKeyCount <= kMaxIniKeys);

// A scan of a file for the section and its keys, in the order they are
// read and written.
IniScan StartSettingsScan();
std::string_view KeyName(std::size_t key);

// Sets every field of the model from the keys the scan found, each missing
// one from the defaults.
void ModelFromScan(const IniScan& scan, RateModel& model);

// A value as the file stores it; one the next load could only read in
// part does not fit, and is not written.
struct StoredValue {
  ShortText<kMaxValueTextLength> text;
  bool fits = true;
};
using StoredValues = std::array<StoredValue, kKeyCount>;
StoredValues StoredFrom(const RateModel& model);

}  // namespace ratecalc
