#include "settings_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string_view>

#include "ini_text.h"
#include "replace_file.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr std::string_view kSection = "RateCalc";

bool ReadWholeFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  content = std::move(buffer).str();
  return true;
}

// The platform reads an integer from the start of the value: optional sign,
// then decimal digits. Only the exact value 1 switches a flag on, so the
// digits need not be read beyond knowing whether they make exactly 1.
int ReadFlag(const std::string& content, std::string_view key, int fallback) {
  const std::optional<std::string> value = FindIniValue(content, kSection, key);
  if (!value) return fallback;
  std::string_view digits = *value;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::size_t count = 0;
  while (count < digits.size() && digits[count] >= '0' && digits[count] <= '9') ++count;
  digits = digits.substr(0, count);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits == "1" ? 1 : 0;
}

double ReadNumber(const std::string& content, std::string_view key, std::string_view fallback) {
  const std::optional<std::string> value = FindIniValue(content, kSection, key);
  return ParseValue(value ? std::string_view(*value) : fallback);
}

CalcMode ReadMode(const std::string& content) {
  const std::optional<std::string> value = FindIniValue(content, kSection, "sCalcMode");
  const std::string_view text = value ? std::string_view(*value) : "Pay";
  if (text.empty()) return CalcMode::Pay;
  if (text.front() == 'C') return CalcMode::Charge;
  if (text.front() == 'M') return CalcMode::Margin;
  return CalcMode::Pay;
}

const char* ModeName(CalcMode mode) {
  switch (mode) {
    case CalcMode::Charge:
      return "Charge";
    case CalcMode::Margin:
      return "Margin";
    default:
      return "Pay";
  }
}

// A name beside the target that no other saving process will pick.
std::string TemporaryPathFor(const std::string& path) {
  std::random_device device;
  const auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937_64 mix((static_cast<unsigned long long>(device()) << 32) ^ device() ^ ticks);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(mix()));
  return path + suffix;
}

bool IsReadOnly(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) return false;
  return (status.permissions() & std::filesystem::perms::owner_write) ==
         std::filesystem::perms::none;
}

bool WriteNewFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.flush();
  return out.good();
}

}  // namespace

void LoadSettings(RateModel& model, const std::string& path) {
  std::string content;
  if (!ReadWholeFile(path, content)) content.clear();
  model.bCalcWTR = ReadFlag(content, "bCalcWTR", 1);
  model.bCalcERNI = ReadFlag(content, "bCalcERNI", 1);
  model.nPayAmt = ReadNumber(content, "nPayAmt", "0.0");
  model.nChargeAmt = ReadNumber(content, "nChargeAmt", "0.0");
  model.nWTRPct = ReadNumber(content, "nWTRPct", "12.07");
  model.nERNIPct = ReadNumber(content, "nERNIPct", "13.8");
  model.nMarginAmt = ReadNumber(content, "nMarginAmt", "0.0");
  model.nMarginPct = ReadNumber(content, "nMarginPct", "0.0");
  model.sCalcMode = ReadMode(content);
}

void SaveSettings(const RateModel& model, const std::string& path) {
  if (IsReadOnly(path)) return;
  std::string content;
  const bool existed = ReadWholeFile(path, content);
  if (!existed && std::filesystem::exists(path)) return;  // there, but unreadable

  const std::pair<const char*, std::string> entries[] = {
      {"bCalcWTR", std::to_string(model.bCalcWTR)},  {"bCalcERNI", std::to_string(model.bCalcERNI)},
      {"nPayAmt", FormatValue(model.nPayAmt)},       {"nChargeAmt", FormatValue(model.nChargeAmt)},
      {"nWTRPct", FormatValue(model.nWTRPct)},       {"nERNIPct", FormatValue(model.nERNIPct)},
      {"nMarginAmt", FormatValue(model.nMarginAmt)}, {"nMarginPct", FormatValue(model.nMarginPct)},
      {"sCalcMode", ModeName(model.sCalcMode)},
  };
  std::string updated = content;
  for (const auto& [key, value] : entries) {
    // A text the next load could only read in part is not written at all:
    // the key keeps what the file held rather than a figure cut short.
    if (value.size() > kMaxValueLength) continue;
    updated = SetIniValue(updated, kSection, key, value);
  }
  if (existed && updated == content) return;

  const std::string temporary = TemporaryPathFor(path);
  if (!WriteNewFile(temporary, updated) || !ReplaceFileAtomically(temporary, path)) {
    std::remove(temporary.c_str());
  }
}

}  // namespace ratecalc
