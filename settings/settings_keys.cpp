#include "settings_keys.h"

#include <charconv>

namespace ratecalc {
namespace {

constexpr std::array<std::string_view, kKeyCount> KeyNames() {
  std::array<std::string_view, kKeyCount> keys{};
  for (std::size_t i = 0; i < kFirstFigure; ++i) keys[i] = kFlags[i].key;
  for (std::size_t i = 0; i < std::size(kFigures); ++i) keys[kFirstFigure + i] = kFigures[i].key;
  keys[kModeIndex] = kModeKey;
  return keys;
}
constexpr std::array<std::string_view, kKeyCount> kKeyNames = KeyNames();

// The platform reads an integer from the start of the value: optional sign,
// then decimal digits. Only the exact value 1 switches a flag on, so the
// digits need not be read beyond knowing whether they make exactly 1.
int ReadFlag(const IniKeyLine& line, int fallback) {
  if (!line.found) return fallback;
  std::string_view digits = line.value.View();
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::size_t count = 0;
  while (count < digits.size() && digits[count] >= '0' && digits[count] <= '9') ++count;
  digits = digits.substr(0, count);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits == "1" ? 1 : 0;
}

// A figure the window could not show in full would leave its field stuck:
// such a figure loads as the default.
double ReadFigure(const IniKeyLine& line, double fallback) {
  if (!line.found) return fallback;
  const double value = ParseValue(line.value.View());
  return FormatValueText(value).length > kMaxValueTextLength ? fallback : value;
}

CalcMode ReadMode(const IniKeyLine& line) {
  if (!line.found) return RateModel{}.sCalcMode;
  const std::string_view value = line.value.View();
  if (value.empty()) return CalcMode::Pay;
  if (value.front() == 'C') return CalcMode::Charge;
  if (value.front() == 'M') return CalcMode::Margin;
  return CalcMode::Pay;
}

std::string_view ModeName(CalcMode mode) {
  switch (mode) {
    case CalcMode::Charge:
      return "Charge";
    case CalcMode::Margin:
      return "Margin";
    default:
      return "Pay";
  }
}

StoredValue FlagText(int flag) {  // "%d"
  StoredValue out;
  char digits[12];
  const char* end = std::to_chars(digits, digits + sizeof digits, flag).ptr;
  out.text.Append(std::string_view(digits, static_cast<std::size_t>(end - digits)));
  return out;
}

StoredValue FigureText(double figure) {
  StoredValue out;
  const ValueText text = FormatValueText(figure);
  out.fits = text.length <= kMaxValueTextLength;
  if (out.fits) out.text.Append(text.view());
  return out;
}

}  // namespace

IniScan StartSettingsScan() { return StartIniScan(kSection, kKeyNames.data(), kKeyNames.size()); }

std::string_view KeyName(std::size_t key) { return kKeyNames[key]; }

void ModelFromScan(const IniScan& scan, RateModel& model) {
  const RateModel defaults;
  for (std::size_t i = 0; i < kFirstFigure; ++i) {
    model.*kFlags[i].member = ReadFlag(scan.found[i], defaults.*kFlags[i].member);
  }
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    model.*kFigures[i].member =
        ReadFigure(scan.found[kFirstFigure + i], defaults.*kFigures[i].member);
  }
  model.sCalcMode = ReadMode(scan.found[kModeIndex]);
}

StoredValues StoredFrom(const RateModel& model) {
  StoredValues values{};
  for (std::size_t i = 0; i < kFirstFigure; ++i) values[i] = FlagText(model.*kFlags[i].member);
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    values[kFirstFigure + i] = FigureText(model.*kFigures[i].member);
  }
  values[kModeIndex].text.Append(ModeName(model.sCalcMode));
  return values;
}

}  // namespace ratecalc
