// The window's decisions that no toolkit makes, as both front ends use them.
#include "window_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ratecalc {
namespace {

using Shown = std::vector<std::string>;

Shown ShownFigures(const RateModel& model) {
  Shown out;
  for (int field = 0; field < kFieldCount; ++field) {
    out.emplace_back(FieldText(model, field).view());
  }
  return out;
}

TEST(WindowRules, InputFieldsFollowTheModeAndSwitches) {
  struct Row {
    CalcMode mode;
    int wtr, erni;
    bool input[kFieldCount];  // pay, charge, WTR %, ER NI %, margin amount, margin %
  };
  // clang-format off
  const Row rows[] = {
      {CalcMode::Pay,    1, 1, {false, true,  true,  true,  true,  true}},
      {CalcMode::Charge, 1, 1, {true,  false, true,  true,  true,  true}},
      {CalcMode::Margin, 1, 1, {true,  true,  true,  true,  false, false}},
      {CalcMode::Pay,    0, 1, {false, true,  false, true,  true,  true}},
      {CalcMode::Charge, 1, 0, {true,  false, true,  false, true,  true}},
      {CalcMode::Margin, 0, 0, {true,  true,  false, false, false, false}},
  };
  // clang-format on
  for (const Row& row : rows) {
    RateModel model;
    model.sCalcMode = row.mode;
    model.bCalcWTR = row.wtr;
    model.bCalcERNI = row.erni;
    for (int field = 0; field < kFieldCount; ++field) {
      EXPECT_EQ(IsInputField(model, field), row.input[field])
          << "mode " << static_cast<int>(row.mode) << " WTR " << row.wtr << " ER NI " << row.erni
          << " field " << field;
    }
  }
}

TEST(WindowRules, TextsFocusAndRefusal) {
  struct Row {
    const char* name;
    CalcMode mode;
    std::vector<std::string> texts;
    int focused_field;
    bool accepted;
    Shown shown;
  };
  const std::string too_long(79, '1');
  // clang-format off
  const Row rows[] = {
      {"the worked example, Enter in margin %", CalcMode::Pay,
       {"", "20", "12.07", "13.80", "", "10"}, kMarginPctField, true,
       {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"Enter in margin amount uses the amount", CalcMode::Pay,
       {"14.11", "20.00", "12.07", "13.80", "3", "10.00"}, kMarginAmtField, true,
       {"13.33", "20.00", "12.07", "13.80", "3.00", "15.00"}},
      {"focus on a button: the percentage wins", CalcMode::Pay,
       {"14.11", "20.00", "12.07", "13.80", "3", "10.00"}, kNoField, true,
       {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"focus on pay is no margin field", CalcMode::Pay,
       {"14.11", "20.00", "12.07", "13.80", "3", "10.00"}, kPayField, true,
       {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"charge from pay", CalcMode::Charge,
       {"14.11", "", "12.07", "13.80", "", "10"}, kNoField, true,
       {"14.11", "19.99", "12.07", "13.80", "2.00", "10.00"}},
      {"margin from pay and charge", CalcMode::Margin,
       {"14.11", "20", "12.07", "13.80", "", ""}, kNoField, true,
       {"14.11", "20.00", "12.07", "13.80", "2.00", "10.02"}},
      {"hostile text reads as 0 or its leading number", CalcMode::Margin,
       {"10", "20", "\xa3" "12", "12.5 per hour", "nan", "\x01\x02"}, kNoField, true,
       {"10.00", "20.00", "0.00", "12.50", "8.75", "43.75"}},
      {"a figure too long to show is refused", CalcMode::Margin,
       {"10", "20", too_long, "13.80", "", ""}, kNoField, false,
       {"0.00", "0.00", "12.07", "13.80", "0.00", "0.00"}},
      {"only as much as a field holds is read", CalcMode::Margin,
       {"10", "20", std::string(78, '0') + "12", "13.80", "", ""}, kNoField, true,
       {"10.00", "20.00", "1.00", "13.80", "8.51", "42.53"}},
  };
  // clang-format on
  for (const Row& row : rows) {
    RateModel model;
    model.sCalcMode = row.mode;
    FieldTexts texts;
    for (int field = 0; field < kFieldCount; ++field) {
      texts[static_cast<std::size_t>(field)] = row.texts[static_cast<std::size_t>(field)];
    }
    EXPECT_EQ(CalculateFromTexts(model, texts, row.focused_field), row.accepted) << row.name;
    EXPECT_EQ(ShownFigures(model), row.shown) << row.name;
    EXPECT_EQ(model.sCalcMode, row.mode) << row.name;
  }
}

TEST(WindowRules, LinuxSettingsPath) {
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
