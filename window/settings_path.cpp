#include "window_rules.h"

namespace ratecalc {

std::string LinuxSettingsPath(const char* xdg_config_home, const char* home) {
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
