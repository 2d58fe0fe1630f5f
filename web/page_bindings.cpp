// The page's way into the window rules: one exported function per thing the
// user does, each answering with the view to draw as JSON text. The page's
// script reads its fields and the focus, calls one of these and draws what
// comes back; every figure, mode, switch and look is decided here or below.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "cost_breakdown.h"
#include "model_keys.h"
#include "settings_text.h"
#include "stored_figures.h"
#include "window_rules.h"

namespace ratecalc {
namespace {

RateModel g_model;
std::string g_field_texts[kFieldCount];
FieldUndo g_field_undo[kFieldCount];  // what Ctrl+Z puts back, by field
int g_edited_field = 0;               // the field and edit the last field call
FieldEdit g_field_edit;               // answered, which the page may keep
std::string g_answer;                 // the text the last call returned, kept until the next

// JSON text, written in order. Template texts are Latin-1, as the Windows
// program's are: the page gets them as UTF-8.
void AppendString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xc0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3f));
    }
  }
  out += '"';
}

void AppendNumber(std::string& out, long number) { out += std::to_string(number); }

void AppendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

// A member's name in an object, after a comma unless the object has just opened.
void AppendName(std::string& out, std::string_view name) {
  if (out.back() != '{') out += ',';
  AppendString(out, name);
  out += ':';
}

void StringMember(std::string& out, std::string_view name, std::string_view text) {
  AppendName(out, name);
  AppendString(out, text);
}

void NumberMember(std::string& out, std::string_view name, long number) {
  AppendName(out, name);
  AppendNumber(out, number);
}

void BoolMember(std::string& out, std::string_view name, bool value) {
  AppendName(out, name);
  AppendBool(out, value);
}

// A CSS colour: the system colours by their CSS names, so that the page
// follows the browser's (and a high-contrast user's) colours. Browsers draw
// CSS's ButtonShadow as the button face itself, which would hide the white
// headings; GrayText is the classic desktop's same grey.
std::string CssColour(const Paint& paint) {
  if (paint.is_system) {
    switch (paint.system) {
      case SystemColour::kWindow:
        return "Window";
      case SystemColour::kWindowText:
        return "WindowText";
      case SystemColour::kButtonFace:
        return "ButtonFace";
      case SystemColour::kButtonShadow:
        return "GrayText";
    }
  }
  return "rgb(" + std::to_string(paint.red) + "," + std::to_string(paint.green) + "," +
         std::to_string(paint.blue) + ")";
}

void AppendLook(std::string& out, const Look& look) {
  out += '{';
  StringMember(out, "text", CssColour(look.text));
  StringMember(out, "background", CssColour(look.background));
  out += '}';
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kCalcButton:
      return "calc";
    case ControlKind::kHeader:
      return "header";
    case ControlKind::kLabel:
      return "label";
    case ControlKind::kField:
      return "field";
    case ControlKind::kSwitch:
      return "switch";
    case ControlKind::kModeButton:
      return "mode";
    case ControlKind::kPicture:
      return "picture";
    case ControlKind::kNotice:
      return "notice";
  }
  return "label";
}

void AppendStyles(std::string& out, unsigned styles) {
  static constexpr struct {
    StyleWord word;
    const char* name;
  } kWords[] = {{kTabStop, "tabStop"},         {kDefaultButton, "defaultButton"},
                {kBorder, "border"},           {kTextRight, "textRight"},
                {kTextCentre, "textCentre"},   {kTextMiddle, "textMiddle"},
                {kAutoScroll, "autoScroll"},   {kBoxRight, "boxRight"},
                {kStartsGroup, "startsGroup"}, {kRealSize, "realSize"}};
  out += '[';
  bool first = true;
  for (const auto& word : kWords) {
    if ((styles & word.word) == 0) continue;
    if (!first) out += ',';
    first = false;
    AppendString(out, word.name);
  }
  out += ']';
}

void AppendTemplate(std::string& out, const WindowTemplate& window) {
  out += '{';
  StringMember(out, "caption", window.caption);
  NumberMember(out, "width", window.width);
  NumberMember(out, "height", window.height);
  NumberMember(out, "pointSize", window.point_size);
  StringMember(out, "font", window.font);
  AppendName(out, "controls");
  out += '[';
  bool first = true;
  for (const ControlTemplate& control : window.controls) {
    if (!first) out += ',';
    first = false;
    out += '{';
    StringMember(out, "kind", KindName(control.kind));
    NumberMember(out, "id", control.id);
    StringMember(out, "text", control.text);
    AppendName(out, "box");
    out += '[';
    AppendNumber(out, control.box.x);
    out += ',';
    AppendNumber(out, control.box.y);
    out += ',';
    AppendNumber(out, control.box.width);
    out += ',';
    AppendNumber(out, control.box.height);
    out += ']';
    AppendName(out, "styles");
    AppendStyles(out, control.styles);
    NumberMember(out, "item", control.item);
    StringMember(out, "name", control.name ? control.name : "");
    out += '}';
  }
  out += "]";
}

// The view after an entry, with the looks its fields are drawn in. Every
// field's text is set anew, so nothing is left to undo.
const char* Answer(const WindowView& view) {
  for (FieldUndo& undo : g_field_undo) undo = {};
  std::string& out = g_answer;
  out = "{";
  AppendName(out, "switches");
  out += '[';
  AppendBool(out, view.switch_on[kWtrSwitch]);
  out += ',';
  AppendBool(out, view.switch_on[kErniSwitch]);
  out += ']';
  NumberMember(out, "mode", static_cast<int>(view.mode));
  BoolMember(out, "refused", view.refused);
  AppendName(out, "fields");
  out += '[';
  for (int field = 0; field < kFieldCount; ++field) {
    const FieldView& shown = view.fields[static_cast<std::size_t>(field)];
    if (field > 0) out += ',';
    out += '{';
    StringMember(out, "text", shown.text.view());
    BoolMember(out, "input", shown.input);
    AppendName(out, "look");
    AppendLook(out, LookOf(shown));
    out += '}';
  }
  out += "]}";
  return out.c_str();
}

FieldTexts StagedTexts() {
  FieldTexts texts;
  for (int field = 0; field < kFieldCount; ++field) {
    texts[static_cast<std::size_t>(field)] = g_field_texts[field];
  }
  return texts;
}

// An on-cost's line: its rate and its amount, or null when it is switched off.
void AppendOnCost(std::string& out, bool on, const ValueText& rate, const ValueText& amount) {
  if (!on) {
    out += "null";
    return;
  }
  out += '{';
  StringMember(out, "rate", rate.view());
  StringMember(out, "amount", amount.view());
  out += '}';
}

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// A field's edit as the page draws it: its action (a FieldAction), the
// text, the selection and what the page puts on the clipboard.
const char* FieldAnswerText(int field, FieldAction action, const FieldEdit& edit,
                            std::string_view copied) {
  g_edited_field = field;
  g_field_edit = edit;
  std::string& out = g_answer;
  out = "{";
  NumberMember(out, "action", static_cast<int>(action));
  StringMember(out, "text", edit.text);
  NumberMember(out, "anchor", edit.anchor);
  NumberMember(out, "caret", edit.caret);
  StringMember(out, "copied", copied);
  out += '}';
  return out.c_str();
}

FieldEdit StagedField(int field, int anchor, int caret) {
  return {g_field_texts[field], anchor, caret, g_field_undo[field]};
}

}  // namespace
}  // namespace ratecalc

using namespace ratecalc;

extern "C" {

// The two windows' templates, 0 the calculator and 1 the About window, and
// the looks of the headings.
EMSCRIPTEN_KEEPALIVE const char* page_window_template(int which) {
  g_answer.clear();
  AppendTemplate(g_answer, which == 1 ? kAboutWindow : kMainWindow);
  AppendName(g_answer, "headerLook");
  AppendLook(g_answer, kHeaderLook);
  g_answer += '}';
  return g_answer.c_str();
}

// A field's text as the page read it, Latin-1, before an entry that reads
// the fields.
EMSCRIPTEN_KEEPALIVE void page_set_field_text(int field, const char* text, int length) {
  if (field < 0 || field >= kFieldCount || length < 0) return;
  g_field_texts[field].assign(text, static_cast<std::size_t>(length));
}

EMSCRIPTEN_KEEPALIVE const char* page_view() { return Answer(ViewOf(g_model)); }

// What the charge on screen is made of, each line as its field would show
// it, and whether the rounded lines add up.
EMSCRIPTEN_KEEPALIVE const char* page_cost_breakdown() {
  const CostBreakdown lines = BreakdownOf(g_model);
  std::string& out = g_answer;
  out = "{";
  StringMember(out, "pay", lines.pay.view());
  AppendName(out, "wtr");
  AppendOnCost(out, lines.wtr_on, lines.wtr_pct, lines.wtr);
  AppendName(out, "erni");
  AppendOnCost(out, lines.erni_on, lines.erni_pct, lines.erni);
  StringMember(out, "cost", lines.cost.view());
  StringMember(out, "margin", lines.margin.view());
  StringMember(out, "marginPct", lines.margin_pct.view());
  StringMember(out, "charge", lines.charge.view());
  BoolMember(out, "addsUp", lines.adds_up);
  out += '}';
  return out.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* page_press_calc(int focused_field) {
  return Answer(PressCalc(g_model, StagedTexts(), focused_field));
}

EMSCRIPTEN_KEEPALIVE const char* page_toggle_switch(int which) {
  const Switch toggled = which == kErniSwitch ? kErniSwitch : kWtrSwitch;
  return Answer(ToggleSwitch(g_model, toggled, StagedTexts()));
}

EMSCRIPTEN_KEEPALIVE const char* page_choose_mode(int mode) {
  // The page names a mode by CalcMode's number; any other is the nearest.
  const int first = static_cast<int>(kModes[0].mode);
  const int last = static_cast<int>(kModes[kModeCount - 1].mode);
  return Answer(ChooseMode(g_model, static_cast<CalcMode>(Clamp(mode, first, last))));
}

EMSCRIPTEN_KEEPALIVE int page_next_tab_stop(int from, int forward) {
  return NextTabStop(g_model, from, forward != 0);
}

// The control an arrow key moves to, and whether it is a mode button to
// choose: the place, negative for a mode to choose (-1 - place).
EMSCRIPTEN_KEEPALIVE int page_move_by_arrow(int from, int forward) {
  const ArrowMove move = MoveByArrow(g_model, from, forward != 0);
  return move.chooses_mode ? -1 - move.control : move.control;
}

EMSCRIPTEN_KEEPALIVE int page_key_types_text(int alt, int ctrl, int super) {
  return KeyTypesText({alt != 0, ctrl != 0, super != 0});
}

EMSCRIPTEN_KEEPALIVE int page_enter_presses_calc(int alt) {
  return EnterPressesCalc({.alt = alt != 0});
}

// A key in a field whose text was staged: `key` a FieldKey, `letter` the
// upper-case letter held with Ctrl, `modifiers` 1 Alt, 2 Ctrl, 4 Super and
// 8 Shift. The page draws the edit, then keeps it with page_keep_field_edit.
EMSCRIPTEN_KEEPALIVE const char* page_field_key(int field, int key, int letter, int modifiers,
                                                int read_only, int anchor, int caret) {
  field = Clamp(field, 0, kFieldCount - 1);
  const FieldEdit now = StagedField(field, anchor, caret);
  const KeyModifiers held = {.alt = (modifiers & 1) != 0,
                             .ctrl = (modifiers & 2) != 0,
                             .super = (modifiers & 4) != 0,
                             .shift = (modifiers & 8) != 0};
  const FieldAnswer answer =
      PressFieldKey(now, static_cast<FieldKey>(Clamp(key, 0, static_cast<int>(FieldKey::kLetter))),
                    static_cast<char>(letter), held, read_only != 0);
  return FieldAnswerText(field, answer.action, answer.edit, SelectedText(now));
}

// Typed or pasted text, Latin-1, into a field whose text was staged.
EMSCRIPTEN_KEEPALIVE const char* page_type_into_field(int field, const char* typed, int length,
                                                      int anchor, int caret) {
  field = Clamp(field, 0, kFieldCount - 1);
  const std::string_view text(typed, static_cast<std::size_t>(length < 0 ? 0 : length));
  return FieldAnswerText(field, FieldAction::kEdit,
                         TypeIntoField(StagedField(field, anchor, caret), text), "");
}

// The last field edit answered is now in its field; what the browser edits
// by itself (a drop, an input method) leaves nothing to undo.
EMSCRIPTEN_KEEPALIVE void page_keep_field_edit() {
  g_field_undo[g_edited_field] = g_field_edit.undo;
}
EMSCRIPTEN_KEEPALIVE void page_forget_field_undo(int field) {
  g_field_undo[Clamp(field, 0, kFieldCount - 1)] = {};
}

// The figures as the page keeps them between visits: a JSON object of
// settings keys and texts.
EMSCRIPTEN_KEEPALIVE const char* page_stored_figures() {
  g_answer = "{";
  bool first = true;
  for (const StoredFigure& figure : StoredFiguresOf(g_model)) {
    if (!first) g_answer += ',';
    first = false;
    AppendString(g_answer, figure.key);
    g_answer += ':';
    AppendString(g_answer, figure.text);
  }
  g_answer += '}';
  return g_answer.c_str();
}

// One kept figure read back; null for none kept. The text reads as the
// same line of a settings file does.
EMSCRIPTEN_KEEPALIVE void page_restore_figure(const char* key, const char* text) {
  if (key) RestoreFigure(g_model, key, text);
}

// The largest file worth reading: a larger one is no settings file.
EMSCRIPTEN_KEEPALIVE double page_max_settings_bytes() {
  return static_cast<double>(kMaxSettingsBytes);
}

// A settings file the user opened: its figures replace the page's only when
// it was read; 1 when it was. A file without the section (a shopping list, a
// picture) is refused rather than read as the defaults, which would wipe the
// user's figures with no way back.
EMSCRIPTEN_KEEPALIVE int page_open_settings_file(const char* bytes, int length) {
  if (length < 0) return 0;
  const std::string_view file(bytes, static_cast<std::size_t>(length));
  RateModel read;
  if (!HasSettingsSection(file) || ModelFromSettingsText(file, read) != LoadOutcome::kRead) {
    return 0;
  }
  g_model = read;
  return 1;
}

// The settings file to save: the bytes of the one the user opened (none for
// a new file) with the page's figures written in. Its length follows from
// page_answer_length.
// Null when the figures cannot be written into those bytes (more than a
// settings file holds), so that no file without them is offered as saved.
EMSCRIPTEN_KEEPALIVE const char* page_settings_file(const char* bytes, int length) {
  g_answer.clear();
  const TextSink append = [](void* text, std::string_view piece) {
    static_cast<std::string*>(text)->append(piece);
  };
  const std::string_view file(bytes, static_cast<std::size_t>(length < 0 ? 0 : length));
  return WriteSettingsText(file, g_model, append, &g_answer) ? g_answer.data() : nullptr;
}

EMSCRIPTEN_KEEPALIVE int page_answer_length() { return static_cast<int>(g_answer.size()); }

}  // extern "C"
