// The two windows' templates, written once: every control's kind,
// identifier, text, box in dialog units and style words, in template order,
// which is also the tab order; and the three looks a control is drawn in.
// The Windows resource file holds the same dialogs (its test compares them
// with these tables), the Qt window is built from them, and any other front
// end may be.
#pragma once

#include <cstddef>
#include <span>

#include "control_ids.h"
#include "model_keys.h"
#include "rate_model.h"

namespace ratecalc {

// The six fields, in the order of kFigures: the window lists, reads and
// writes them in this order.
enum Field {
  kPayField,
  kChargeField,
  kWtrPctField,
  kErniPctField,
  kMarginAmtField,
  kMarginPctField
};
inline constexpr int kFieldCount = 6;

// No field: the focus is on a button, or elsewhere.
inline constexpr int kNoField = -1;

// The two on-cost switches, in the order of kFlags.
enum Switch { kWtrSwitch, kErniSwitch };
inline constexpr int kSwitchCount = 2;

// A box in dialog units: a quarter of the font's average character width
// across, an eighth of its height down.
struct DialogBox {
  int x, y, width, height;
};

enum class ControlKind {
  kCalcButton,  // the default push button
  kHeader,      // a column heading, in kHeaderLook
  kLabel,       // a field's label or a "%" sign
  kField,       // one of the six number fields
  kSwitch,      // an on-cost check box
  kModeButton,  // one of the three mode buttons, a radio group
  kPicture,     // the About window's picture (IDB_ABOUT)
  kNotice,      // the About window's line of text
};

// Style words, or-ed together.
enum StyleWord : unsigned {
  kTabStop = 1u << 0,        // Tab stops here
  kDefaultButton = 1u << 1,  // Enter presses it wherever the focus is, and the focus stays
  kBorder = 1u << 2,
  kTextRight = 1u << 3,
  kTextCentre = 1u << 4,
  kTextMiddle = 1u << 5,  // centred from top to bottom
  kAutoScroll = 1u << 6,  // a text wider than its field scrolls within it
  kBoxRight = 1u << 7,    // a check box's box on the right of its text
  kStartsGroup = 1u << 8,
  kRealSize = 1u << 9,  // a picture at its own pixel size, from the box's top left
};

struct ControlTemplate {
  ControlKind kind;
  int id;            // IDC_NONE for a control without identifier of its own
  const char* text;  // single-byte Latin-1, as the Windows program's texts are
  DialogBox box;
  unsigned styles;
  // A field's Field, a switch's Switch, a mode button's CalcMode as int;
  // -1 for the rest.
  int item;
  // What a screen reader announces for a field: its label and unit. Null
  // for the other controls, whose text names them.
  const char* name;
};

struct WindowTemplate {
  const char* caption;
  int width, height;  // dialog units
  int point_size;
  const char* font;
  std::span<const ControlTemplate> controls;
};

namespace window_template_detail {

inline constexpr unsigned kEdit = kBorder | kTabStop | kTextRight | kAutoScroll;
inline constexpr unsigned kRightLabel = kTextRight | kTextMiddle;
inline constexpr unsigned kCentred = kTextCentre | kTextMiddle;
inline constexpr unsigned kCheck = kBoxRight | kTabStop;
inline constexpr int kMode(CalcMode mode) { return static_cast<int>(mode); }

using K = ControlKind;
// clang-format off
inline constexpr ControlTemplate kMainControls[] = {
    {K::kCalcButton, IDC_CALC,        "Calc",            {4, 4, 30, 12},   kDefaultButton, -1, nullptr},
    {K::kHeader,     IDC_VALUES_HDR,  "Values",          {40, 5, 35, 10},  kCentred,       -1, nullptr},
    {K::kLabel,      IDC_NONE,        "Pay  \xa3",       {5, 20, 30, 12},  kRightLabel,    -1, nullptr},
    {K::kField,      IDC_PAY_AMT,     "",                {40, 20, 35, 12}, kEdit, kPayField, "Pay \xa3"},
    {K::kLabel,      IDC_NONE,        "Charge  \xa3",    {5, 34, 30, 12},  kRightLabel,    -1, nullptr},
    {K::kField,      IDC_CHARGE_AMT,  "",                {40, 33, 35, 12}, kEdit, kChargeField, "Charge \xa3"},
    {K::kSwitch,     IDC_WTR,         "WTR",             {5, 47, 30, 12},  kCheck, kWtrSwitch, nullptr},
    {K::kField,      IDC_WTR_PCT,     "",                {40, 46, 35, 12}, kEdit, kWtrPctField, "WTR %"},
    {K::kLabel,      IDC_NONE,        "%",               {75, 46, 10, 12}, kCentred,       -1, nullptr},
    {K::kSwitch,     IDC_ERNI,        "ER NI",           {3, 59, 32, 12},  kCheck, kErniSwitch, nullptr},
    {K::kField,      IDC_ERNI_PCT,    "",                {40, 59, 35, 12}, kEdit, kErniPctField, "ER NI %"},
    {K::kLabel,      IDC_NONE,        "%",               {75, 59, 10, 12}, kCentred,       -1, nullptr},
    {K::kLabel,      IDC_NONE,        "Margin  \xa3",    {5, 72, 30, 12},  kRightLabel,    -1, nullptr},
    {K::kField,      IDC_MARGIN_AMT,  "",                {40, 72, 35, 12}, kEdit, kMarginAmtField, "Margin \xa3"},
    {K::kField,      IDC_MARGIN_PCT,  "",                {40, 84, 35, 12}, kEdit, kMarginPctField, "Margin %"},
    {K::kLabel,      IDC_NONE,        "%",               {75, 84, 10, 12}, kCentred,       -1, nullptr},
    {K::kHeader,     IDC_CALC_HDR,    "Calc",            {80, 5, 35, 10},  kCentred,       -1, nullptr},
    {K::kModeButton, IDC_MODE_PAY,    "Pay",             {80, 20, 35, 12}, kTabStop, kMode(CalcMode::Pay), nullptr},
    {K::kModeButton, IDC_MODE_CHARGE, "Charge",          {80, 33, 35, 12}, kTabStop, kMode(CalcMode::Charge), nullptr},
    {K::kModeButton, IDC_MODE_MARGIN, "Margin",          {80, 72, 35, 12}, kTabStop, kMode(CalcMode::Margin), nullptr},
};

inline constexpr ControlTemplate kAboutControls[] = {
    {K::kPicture, IDC_NONE, "", {7, 7, 213, 148}, kRealSize, -1, nullptr},
    {K::kNotice,  IDC_NONE, "\xa9 The owner of KOV Rate Calculator. All rights reserved.",
     {7, 163, 213, 10}, kCentred | kStartsGroup, -1, nullptr},
};
// clang-format on

}  // namespace window_template_detail

// The calculator window: 120 x 103 dialog units, twenty controls, all in
// one dialog group.
inline constexpr WindowTemplate kMainWindow = {
    "KOV", 120, 103, 8, "MS Sans Serif", window_template_detail::kMainControls};

// The About window: the picture and the notice under it.
inline constexpr WindowTemplate kAboutWindow = {
    "About KOV Rate Calculator",           228, 182, 8, "MS Sans Serif",
    window_template_detail::kAboutControls};

// The place in kMainWindow.controls of a field, a switch and a mode button.
constexpr int PlaceOf(ControlKind kind, int item) {
  for (std::size_t at = 0; at < kMainWindow.controls.size(); ++at) {
    if (kMainWindow.controls[at].kind == kind && kMainWindow.controls[at].item == item) {
      return static_cast<int>(at);
    }
  }
  return -1;
}
constexpr int FieldControl(int field) { return PlaceOf(ControlKind::kField, field); }
constexpr int SwitchControl(Switch which) { return PlaceOf(ControlKind::kSwitch, which); }
constexpr int ModeControl(CalcMode mode) {
  return PlaceOf(ControlKind::kModeButton, static_cast<int>(mode));
}

// The colours, named once. A system colour is the desktop's own; a fixed
// one is the same everywhere.
enum class SystemColour { kWindow, kWindowText, kButtonFace, kButtonShadow };
struct Paint {
  bool is_system;
  SystemColour system;             // when is_system
  unsigned char red, green, blue;  // when not
};
constexpr Paint SystemPaint(SystemColour colour) { return {true, colour, 0, 0, 0}; }
constexpr Paint FixedPaint(unsigned char r, unsigned char g, unsigned char b) {
  return {false, SystemColour::kWindow, r, g, b};
}

struct Look {
  Paint text;
  Paint background;
};

// A field the user types in: the desktop's own text colours.
inline constexpr Look kInputLook = {SystemPaint(SystemColour::kWindowText),
                                    SystemPaint(SystemColour::kWindow)};
// A derived field, read-only: blue on the button face.
inline constexpr Look kDerivedLook = {FixedPaint(0, 0, 255),
                                      SystemPaint(SystemColour::kButtonFace)};
// The two column headings: white on the button shadow.
inline constexpr Look kHeaderLook = {FixedPaint(255, 255, 255),
                                     SystemPaint(SystemColour::kButtonShadow)};

}  // namespace ratecalc
