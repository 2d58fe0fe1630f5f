// Where the Linux program keeps its settings. Inline, so that every program
// built from linux_main.cpp has it without a library of its own.
#pragma once

#include <string>

namespace ratecalc {

// In kov-rate-calculator/ under $XDG_CONFIG_HOME, or under ~/.config when
// that is unset, empty or not an absolute path. Empty when neither folder
// is known.
inline std::string LinuxSettingsPath(const char* xdg_config_home, const char* home) {
  std::string folder;
  if (xdg_config_home && xdg_config_home[0] == '/') {
    folder = xdg_config_home;
  } else if (home && home[0] == '/') {
    folder = std::string(home) + "/.config";
  } else {
    return {};
  }
  return folder + "/kov-rate-calculator/KOVRateCalc.ini";
}

}  // namespace ratecalc
