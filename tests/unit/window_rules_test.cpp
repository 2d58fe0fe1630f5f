// The window's decisions that no toolkit makes, as both front ends use them.
#include "window_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "field_key_rows.h"

namespace ratecalc {
namespace {

using Figures = std::vector<std::string>;

Figures Shown(const WindowView& view) {
  Figures out;
  for (const FieldView& field : view.fields) out.emplace_back(field.text.view());
  return out;
}

Figures ShownFigures(const RateModel& model) { return Shown(ViewOf(model)); }

TEST(WindowRules, ViewFollowsTheModeAndSwitches) {
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
    const WindowView view = ViewOf(model);
    EXPECT_EQ(view.mode, row.mode);
    EXPECT_EQ(view.switch_on[kWtrSwitch], row.wtr == 1);
    EXPECT_EQ(view.switch_on[kErniSwitch], row.erni == 1);
    EXPECT_FALSE(view.refused);
    for (int field = 0; field < kFieldCount; ++field) {
      const FieldView& shown = view.fields[static_cast<std::size_t>(field)];
      EXPECT_EQ(shown.input, row.input[field])
          << "mode " << static_cast<int>(row.mode) << " WTR " << row.wtr << " ER NI " << row.erni
          << " field " << field;
      EXPECT_EQ(&LookOf(shown), row.input[field] ? &kInputLook : &kDerivedLook);
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
    Figures shown;
  };
  const std::string too_long(79, '1');
  // 2^250: 76 digits, shown to 17 significant ones, 79 characters in all.
  const std::string huge =
      "1809251394333065553493296640760748560207343510400633813116524750123642650624";
  const std::string huge_shown = "18092513943330656" + std::string(59, '0') + ".00";
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
      {"a figure just as long as a field holds is kept", CalcMode::Margin,
       {"10", huge, "12.07", "13.80", "", ""}, kNoField, true,
       {"10.00", huge_shown, "12.07", "13.80", huge_shown, "100.00"}},
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
    const WindowView view = PressCalc(model, texts, row.focused_field);
    EXPECT_EQ(view.refused, !row.accepted) << row.name;
    EXPECT_EQ(ShownFigures(model), row.shown) << row.name;
    EXPECT_EQ(Shown(view), row.shown) << row.name;
    EXPECT_EQ(model.sCalcMode, row.mode) << row.name;
  }
}

TEST(WindowRules, SwitchAndModeCommands) {
  struct Row {
    const char* name;
    RateModel start;
    std::function<WindowView(RateModel&)> command;
    Figures shown;
    CalcMode mode;
    bool wtr, erni, refused;
  };
  RateModel calculated;
  calculated.nPayAmt = 14.11;
  calculated.nChargeAmt = 20;
  calculated.nMarginAmt = 2;
  calculated.nMarginPct = 10;
  RateModel without_wtr = calculated;
  without_wtr.bCalcWTR = 0;
  const FieldTexts typed = {"", "20", "12.07", "13.80", "3", "10"};
  const std::string too_long(79, '1');
  const FieldTexts refused = {"14.11", "20", too_long, "13.80", "2", "10"};
  const Figures worked = {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"};
  // clang-format off
  const Row rows[] = {
      {"unticking WTR calculates from the texts, the percentage winning", calculated,
       [&](RateModel& m) { return ToggleSwitch(m, kWtrSwitch, typed); },
       {"15.82", "20.00", "12.07", "13.80", "2.00", "10.00"}, CalcMode::Pay, false, true, false},
      {"ticking WTR again", without_wtr,
       [&](RateModel& m) { return ToggleSwitch(m, kWtrSwitch, typed); },
       worked, CalcMode::Pay, true, true, false},
      {"unticking ER NI", calculated,
       [&](RateModel& m) { return ToggleSwitch(m, kErniSwitch, typed); },
       {"16.06", "20.00", "12.07", "13.80", "2.00", "10.00"}, CalcMode::Pay, true, false, false},
      {"a refused toggle keeps the figures but not the switch", calculated,
       [&](RateModel& m) { return ToggleSwitch(m, kErniSwitch, refused); },
       worked, CalcMode::Pay, true, false, true},
      {"a mode reads nothing", calculated,
       [&](RateModel& m) { return ChooseMode(m, CalcMode::Margin); },
       worked, CalcMode::Margin, true, true, false},
      {"Charge mode", without_wtr,
       [&](RateModel& m) { return ChooseMode(m, CalcMode::Charge); },
       worked, CalcMode::Charge, false, true, false},
  };
  // clang-format on
  for (const Row& row : rows) {
    RateModel model = row.start;
    const WindowView view = row.command(model);
    EXPECT_EQ(Shown(view), row.shown) << row.name;
    EXPECT_EQ(view.mode, row.mode) << row.name;
    EXPECT_EQ(view.switch_on[kWtrSwitch], row.wtr) << row.name;
    EXPECT_EQ(view.switch_on[kErniSwitch], row.erni) << row.name;
    EXPECT_EQ(view.refused, row.refused) << row.name;
    EXPECT_EQ(ViewOf(model).mode, row.mode) << row.name;
    EXPECT_EQ(Shown(ViewOf(model)), row.shown) << row.name;
  }
}

// Places in the main template: 0 Calc, 3 pay, 5 charge, 6 WTR, 7 WTR %,
// 14 margin %, 16 the Calc heading, 17 to 19 the mode buttons.
TEST(WindowRules, ArrowsAndTabMoveThroughTheTemplate) {
  struct Row {
    CalcMode mode;
    int from;
    bool forward;
    int arrow_to;
    bool chooses_mode;
    int tab_to;
  };
  // clang-format off
  const Row rows[] = {
      {CalcMode::Pay,    17, true,  18, true,  3},
      {CalcMode::Charge, 18, true,  19, true,  3},
      {CalcMode::Margin, 19, true,  0,  false, 3},
      {CalcMode::Pay,    17, false, 16, false, 14},
      {CalcMode::Margin, 18, true,  19, false, 19},
      {CalcMode::Pay,    0,  false, 19, true,  17},
      {CalcMode::Pay,    6,  true,  7,  false, 7},
      {CalcMode::Charge, 14, true,  15, false, 18},
      {CalcMode::Margin, 3,  false, 2,  false, 19},
      {CalcMode::Pay,    0,  true,  1,  false, 3},
      {CalcMode::Pay,    -1, true,  0,  false, 3},
      {CalcMode::Charge, -1, false, 19, true,  18},
      {CalcMode::Pay,    20, true,  0,  false, 3},
  };
  // clang-format on
  for (const Row& row : rows) {
    RateModel model;
    model.sCalcMode = row.mode;
    const ArrowMove move = MoveByArrow(model, row.from, row.forward);
    EXPECT_EQ(move.control, row.arrow_to) << row.from << (row.forward ? " on" : " back");
    EXPECT_EQ(move.chooses_mode, row.chooses_mode) << row.from;
    EXPECT_EQ(NextTabStop(model, row.from, row.forward), row.tab_to) << row.from;
  }
}

TEST(WindowRules, OnlyAnUnmodifiedKeyTypes) {
  EXPECT_TRUE(KeyTypesText({}));
  EXPECT_FALSE(KeyTypesText({.alt = true}));
  EXPECT_FALSE(KeyTypesText({.ctrl = true}));
  EXPECT_FALSE(KeyTypesText({.super = true}));
  EXPECT_TRUE(EnterPressesCalc({.ctrl = true}));
  EXPECT_TRUE(EnterPressesCalc({.shift = true}));
  EXPECT_FALSE(EnterPressesCalc({.alt = true}));
}

TEST(WindowRules, FieldKeysEditAsTheClassicEdit) {
  for (const FieldKeyRow& row : kFieldKeyRows) {
    FieldEdit field{row.text, row.anchor, row.caret, {}};
    std::string clipboard;  // the test's own
    for (const Stroke& stroke : StrokesOf(row.keys)) {
      if (!stroke.key) {
        if (!row.read_only) field = TypeIntoField(field, stroke.name);
        continue;
      }
      const FieldAnswer answer =
          PressFieldKey(field, *stroke.key, stroke.name[0], stroke.modifiers, row.read_only);
      if (answer.action == FieldAction::kCopy || answer.action == FieldAction::kCut) {
        clipboard = SelectedText(field);
      }
      field = answer.action == FieldAction::kPaste ? TypeIntoField(answer.edit, clipboard)
                                                   : answer.edit;
    }
    EXPECT_EQ(field.text, row.text_after) << row.text << " " << row.keys;
    EXPECT_EQ(field.anchor, row.anchor_after) << row.text << " " << row.keys;
    EXPECT_EQ(field.caret, row.caret_after) << row.text << " " << row.keys;
  }
}

// Text from outside the window: a pasted line break ends what a field
// takes, and a selection from a front end out of step is kept in the text.
TEST(WindowRules, FieldTakesOneLineWithinItsText) {
  EXPECT_EQ(TypeIntoField({"13.80", 0, 5, {}}, "7\r\n8").text, "7");
  EXPECT_EQ(TypeIntoField({"13.80", 1, 3, {}}, "\n8").text, "13.80");
  const FieldEdit out_of_step{"13.80", 9, -4, {"x", 40, 9}};
  EXPECT_EQ(SelectedText(out_of_step), "13.80");
  EXPECT_EQ(TypeIntoField(out_of_step, "7").caret, 1);
  EXPECT_EQ(PressFieldKey(out_of_step, FieldKey::kLetter, 'Z', {.ctrl = true}, false).edit.text,
            "13.80x");
}

}  // namespace
}  // namespace ratecalc
