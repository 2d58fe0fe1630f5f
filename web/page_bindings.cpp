// The page's way into the window rules: one exported function per thing the
// user does, each answering with the view to draw as JSON text. The page's
// script reads its fields and the focus, calls one of these and draws what
// comes back; every figure, mode, switch and look is decided here or below.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "model_keys.h"
#include "settings_text.h"
#include "stored_figures.h"
#include "window_rules.h"

namespace ratecalc {
namespace {

RateModel g_model;
std::string g_field_texts[kFieldCount];
std::string g_answer;  // the text the last call returned, kept until the next

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
  out += "{\"text\":";
  AppendString(out, CssColour(look.text));
  out += ",\"background\":";
  AppendString(out, CssColour(look.background));
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
  out += "{\"caption\":";
  AppendString(out, window.caption);
  out += ",\"width\":";
  AppendNumber(out, window.width);
  out += ",\"height\":";
  AppendNumber(out, window.height);
  out += ",\"pointSize\":";
  AppendNumber(out, window.point_size);
  out += ",\"font\":";
  AppendString(out, window.font);
  out += ",\"controls\":[";
  bool first = true;
  for (const ControlTemplate& control : window.controls) {
    if (!first) out += ',';
    first = false;
    out += "{\"kind\":";
    AppendString(out, KindName(control.kind));
    out += ",\"id\":";
    AppendNumber(out, control.id);
    out += ",\"text\":";
    AppendString(out, control.text);
    out += ",\"box\":[";
    AppendNumber(out, control.box.x);
    out += ',';
    AppendNumber(out, control.box.y);
    out += ',';
    AppendNumber(out, control.box.width);
    out += ',';
    AppendNumber(out, control.box.height);
    out += "],\"styles\":";
    AppendStyles(out, control.styles);
    out += ",\"item\":";
    AppendNumber(out, control.item);
    out += ",\"name\":";
    AppendString(out, control.name ? control.name : "");
    out += '}';
  }
  out += "]";
}

// The view after an entry, with the looks its fields are drawn in.
const char* Answer(const WindowView& view) {
  std::string& out = g_answer;
  out = "{\"switches\":[";
  AppendBool(out, view.switch_on[kWtrSwitch]);
  out += ',';
  AppendBool(out, view.switch_on[kErniSwitch]);
  out += "],\"mode\":";
  AppendNumber(out, static_cast<int>(view.mode));
  out += ",\"refused\":";
  AppendBool(out, view.refused);
  out += ",\"fields\":[";
  for (int field = 0; field < kFieldCount; ++field) {
    const FieldView& shown = view.fields[static_cast<std::size_t>(field)];
    if (field > 0) out += ',';
    out += "{\"text\":";
    AppendString(out, shown.text.view());
    out += ",\"input\":";
    AppendBool(out, shown.input);
    out += ",\"look\":";
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

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

}  // namespace
}  // namespace ratecalc

using namespace ratecalc;

extern "C" {

// The two windows' templates, 0 the calculator and 1 the About window, and
// the looks of the headings.
EMSCRIPTEN_KEEPALIVE const char* page_window_template(int which) {
  g_answer.clear();
  AppendTemplate(g_answer, which == 1 ? kAboutWindow : kMainWindow);
  g_answer += ",\"headerLook\":";
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

// One kept figure read back; null for none kept. A text this page would not
// have written gives that figure's default.
EMSCRIPTEN_KEEPALIVE void page_restore_figure(const char* key, const char* text) {
  if (key) RestoreFigure(g_model, key, text);
}

// The largest file worth reading: a larger one is no settings file.
EMSCRIPTEN_KEEPALIVE double page_max_settings_bytes() {
  return static_cast<double>(kMaxSettingsBytes);
}

// A settings file the user opened: its figures replace the page's only when
// it was read; 1 when it was.
EMSCRIPTEN_KEEPALIVE int page_open_settings_file(const char* bytes, int length) {
  if (length < 0) return 0;
  RateModel read;
  if (ModelFromSettingsText({bytes, static_cast<std::size_t>(length)}, read) !=
      LoadOutcome::kRead) {
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
