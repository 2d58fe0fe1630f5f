// The Linux program's own decisions around the window: where the settings
// live, the save when the desktop session ends, and what a failed save says.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "calculator_window.h"
#include "figures_save.h"
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

// What the session signal calls saves the figures the window shows, into
// a settings folder made for them; where no folder can be made, the
// outcome says why, and the message names the file and the reason.
TEST(LinuxEntry, SessionEndSavesAndAFailureIsTold) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const std::string root = home.path().toStdString();
  std::ofstream(root + "/config-is-a-file") << "x";
  struct Row {
    std::string path;
    bool saved;
  };
  const Row rows[] = {
      {root + "/config/kov-rate-calculator/KOVRateCalc.ini", true},
      {root + "/config-is-a-file/kov-rate-calculator/KOVRateCalc.ini", false},
  };
  for (const Row& row : rows) {
    RateModel model;
    model.nPayAmt = 14.11;
    CalculatorWindow window(model, row.path, {});
    const SaveOutcome outcome = window.saveForSessionEnd();
    EXPECT_EQ(outcome.saved(), row.saved) << row.path;
    RateModel read;
    LoadSettings(read, row.path);
    EXPECT_EQ(read.nPayAmt, row.saved ? 14.11 : 0.0) << row.path;
    if (!row.saved) {
      const QString message = SaveFailureMessage(outcome);
      EXPECT_TRUE(message.contains(QString::fromStdString(row.path))) << message.toStdString();
      const std::string_view reason = SaveFailureText(outcome.failure);
      EXPECT_TRUE(
          message.contains(QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size()))))
          << message.toStdString();
    }
  }
}

}  // namespace
}  // namespace ratecalc
