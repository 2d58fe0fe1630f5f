#include "stored_figures.h"

#include "model_keys.h"
#include "value_text.h"

namespace ratecalc {
namespace {

// A figure's text as FormatValue writes it and a field holds it: reading it
// and writing it again gives the same text, so "inf", "1e3", "12.5" and
// trailing words are all refused.
bool IsFigureText(std::string_view text) {
  return text.size() <= kMaxValueTextLength && FormatValueText(ParseValue(text)).view() == text;
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
  const RateModel defaults;
  const std::string_view kept = text ? std::string_view(text) : std::string_view();
  for (const FlagKey& flag : kFlags) {
    if (key != flag.key) continue;
    const bool valid = text && (kept == "0" || kept == "1");
    model.*flag.member = valid ? kept[0] - '0' : defaults.*flag.member;
    return;
  }
  for (const FigureKey& figure : kFigures) {
    if (key != figure.key) continue;
    model.*figure.member = text && IsFigureText(kept) ? ParseValue(kept) : defaults.*figure.member;
    return;
  }
  if (key != kModeKey) return;
  model.sCalcMode = defaults.sCalcMode;
  for (const ModeName& known : kModes) {
    if (text && kept == known.name) model.sCalcMode = known.mode;
  }
}

}  // namespace ratecalc
