#include "settings_file.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file_access.h"
#include "ini_text.h"
#include "model_keys.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr std::string_view kSection = "RateCalc";

enum class ReadResult { Read, Missing, Unreadable };

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? ReadResult::Unreadable : ReadResult::Read;
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

double ReadFigure(const std::string& content, std::string_view key, double fallback) {
  const std::optional<std::string> value = FindIniValue(content, kSection, key);
  return value ? ParseValue(*value) : fallback;
}

CalcMode ReadMode(const std::string& content) {
  const std::optional<std::string> value = FindIniValue(content, kSection, kModeKey);
  if (!value) return RateModel{}.sCalcMode;
  if (value->empty()) return CalcMode::Pay;
  if (value->front() == 'C') return CalcMode::Charge;
  if (value->front() == 'M') return CalcMode::Margin;
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

}  // namespace

void LoadSettings(RateModel& model, const std::string& path) {
  const RateModel defaults;
  std::string content;
  ReadWholeFile(path, content);  // whatever could not be read gives defaults
  for (const FlagKey& flag : kFlags) {
    model.*flag.member = ReadFlag(content, flag.key, defaults.*flag.member);
  }
  for (const FigureKey& figure : kFigures) {
    model.*figure.member = ReadFigure(content, figure.key, defaults.*figure.member);
  }
  model.sCalcMode = ReadMode(content);
}

void SaveSettings(const RateModel& model, const std::string& path) {
  if (IsReadOnlyFile(path)) return;
  std::string content;
  const ReadResult read = ReadWholeFile(path, content);
  if (read == ReadResult::Unreadable) return;  // never replace what could not be read
  const bool existed = read == ReadResult::Read;

  std::vector<std::pair<const char*, std::string>> entries;
  for (const FlagKey& flag : kFlags)
    entries.emplace_back(flag.key, std::to_string(model.*flag.member));
  for (const FigureKey& figure : kFigures) {
    entries.emplace_back(figure.key, FormatValue(model.*figure.member));
  }
  entries.emplace_back(kModeKey, ModeName(model.sCalcMode));
  std::string updated = content;
  for (const auto& [key, value] : entries) {
    // A text the next load could only read in part is not written at all:
    // the key keeps what the file held rather than a figure cut short.
    if (value.size() > kMaxValueTextLength) continue;
    updated = SetIniValue(updated, kSection, key, value);
  }
  if (existed && updated == content) return;

  const std::string temporary = TemporaryPathBeside(path);
  if (!WriteFileDurably(temporary, updated) || !ReplaceFileAtomically(temporary, path)) {
    std::remove(temporary.c_str());
  }
}

}  // namespace ratecalc
