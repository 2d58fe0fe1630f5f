#include "stored_figures.h"

#include "model_keys.h"
#include "settings_text.h"
#include "value_text.h"

namespace ratecalc {
namespace {

// The kept text as the one line of a settings file's section: a line ends
// where a file's line would, so nothing after it can reach another key.
RateModel ReadAsSettingsLine(std::string_view key, const char* text) {
  std::string file = "[RateCalc]\n";
  if (text) {
    const std::string_view kept(text);
    file.append(key).append("=").append(kept.substr(0, kept.find_first_of("\r\n"))).append("\n");
  }
  RateModel read;
  ModelFromSettingsText(file, read);
  return read;
}

}  // namespace

std::array<StoredFigure, kKeyCount> StoredFiguresOf(const RateModel& model) {
  std::array<StoredFigure, kKeyCount> out;
  std::size_t next = 0;
  for (const FlagKey& flag : kFlags) {
    out[next++] = {flag.key, model.*flag.member == 1 ? "1" : "0"};
  }
  for (const FigureKey& figure : kFigures) {
    out[next++] = {figure.key, std::string(FormatValueText(model.*figure.member).view())};
  }
  out[next] = {kModeKey, NameOf(model.sCalcMode)};
  return out;
}

void RestoreFigure(RateModel& model, std::string_view key, const char* text) {
  for (const FlagKey& flag : kFlags) {
    if (key == flag.key) model.*flag.member = ReadAsSettingsLine(key, text).*flag.member;
  }
  for (const FigureKey& figure : kFigures) {
    if (key == figure.key) model.*figure.member = ReadAsSettingsLine(key, text).*figure.member;
  }
  if (key == kModeKey) model.sCalcMode = ReadAsSettingsLine(key, text).sCalcMode;
}

}  // namespace ratecalc
