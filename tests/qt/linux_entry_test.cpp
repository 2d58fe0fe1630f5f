// The Linux entry point's own decisions: where the settings live.
#include <gtest/gtest.h>

#include <string>

#include "linux_settings_path.h"

namespace ratecalc {
namespace {

TEST(LinuxEntry, SettingsPath) {
  struct Row {
    const char* xdg;
    const char* home;
    std::string path;
  };
  const Row rows[] = {
      {"/x/conf", "/home/u", "/x/conf/kov-rate-calculator/KOVRateCalc.ini"},
      {nullptr, "/home/u", "/home/u/.config/kov-rate-calculator/KOVRateCalc.ini"},
      {"", "/home/u", "/home/u/.config/kov-rate-calculator/KOVRateCalc.ini"},
      {"relative/conf", "/home/u", "/home/u/.config/kov-rate-calculator/KOVRateCalc.ini"},
      {nullptr, nullptr, ""},
      {"", "not/absolute", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LinuxSettingsPath(row.xdg, row.home), row.path)
        << (row.xdg ? row.xdg : "<unset>") << " " << (row.home ? row.home : "<unset>");
  }
}

}  // namespace
}  // namespace ratecalc
