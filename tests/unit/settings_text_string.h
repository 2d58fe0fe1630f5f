// The settings text a save would write, as one string, or the bytes
// unchanged where it would write nothing: the tests' view of
// WriteSettingsText.
#pragma once

#include <string>

#include "settings_text.h"

namespace ratecalc {

inline std::string SettingsTextWithModel(std::string_view file_bytes, const RateModel& model) {
  std::string out;
  const TextSink append = [](void* text, std::string_view piece) {
    static_cast<std::string*>(text)->append(piece);
  };
  return WriteSettingsText(file_bytes, model, append, &out) ? out : std::string(file_bytes);
}

}  // namespace ratecalc
