#include "main_dialog.h"

#include "about_dialog.h"
#include "process_state.h"
#include "resource.h"
#include "settings_file.h"
#include "shell_services.h"
#include "window_rules.h"
#include "window_setup.h"

namespace ratecalc {
namespace {

// The control handles, valid from WM_INITDIALOG until the window is
// destroyed: the fields in the order of Field, the switches in the order of
// Switch, the mode buttons in the order of kModes.
HWND g_fields[kFieldCount];
HWND g_switches[kSwitchCount];
HWND g_mode_buttons[kModeCount];

constexpr int IdAt(int place) { return kMainWindow.controls[static_cast<std::size_t>(place)].id; }
constexpr int kSwitchIds[kSwitchCount] = {IdAt(SwitchControl(kWtrSwitch)),
                                          IdAt(SwitchControl(kErniSwitch))};

// The mode a mode button's identifier stands for.
CalcMode ModeOfButton(int id) {
  for (const ModeName& mode : kModes) {
    if (IdAt(ModeControl(mode.mode)) == id) return mode.mode;
  }
  return CalcMode::Pay;
}

// The edit control's own window procedure, which every field shares.
WNDPROC g_edit_procedure = nullptr;

// Wine hands the Super key on as the Windows key, and the edit control
// would type the letter pressed with it; the window's rules say it types
// nothing, as on Windows, where the shell takes those keys.
LRESULT CALLBACK FieldProcedure(HWND field, UINT message, WPARAM wparam, LPARAM lparam) {
  const bool windows_key = GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0;
  if (message == WM_CHAR && !KeyTypesText({.super = windows_key})) return 0;
  return CallWindowProcA(g_edit_procedure, field, message, wparam, lparam);
}

void LookUpControls(HWND window) {
  for (int field = 0; field < kFieldCount; ++field) {
    g_fields[field] = GetDlgItem(window, kFieldIds[static_cast<std::size_t>(field)]);
    g_edit_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        g_fields[field], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldProcedure)));
  }
  for (int which = 0; which < kSwitchCount; ++which) {
    g_switches[which] = GetDlgItem(window, kSwitchIds[which]);
  }
  for (int mode = 0; mode < kModeCount; ++mode) {
    g_mode_buttons[mode] = GetDlgItem(window, IdAt(ModeControl(ModeAt(mode))));
  }
}

// The field that has the keyboard focus, or kNoField.
int FocusedField() {
  const HWND focus = GetFocus();
  for (int field = 0; field < kFieldCount; ++field) {
    if (focus == g_fields[field]) return field;
  }
  return kNoField;
}

void SetCheck(HWND button, bool on) {
  SendMessageA(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Makes every control show the view: switches, mode, figures, and which
// fields are read-only. The edit control puts the caret before a text set
// this way, as the rules ask.
void Draw(const WindowView& view) {
  for (int which = 0; which < kSwitchCount; ++which) {
    SetCheck(g_switches[which], view.switch_on[static_cast<std::size_t>(which)]);
  }
  for (int mode = 0; mode < kModeCount; ++mode) {
    SetCheck(g_mode_buttons[mode], view.mode == ModeAt(mode));
  }
  for (int field = 0; field < kFieldCount; ++field) {
    SetWindowTextA(g_fields[field], view.fields[static_cast<std::size_t>(field)].text.c_str());
  }
  for (int field = 0; field < kFieldCount; ++field) {
    SendMessageA(g_fields[field], EM_SETREADONLY,
                 view.fields[static_cast<std::size_t>(field)].input ? FALSE : TRUE, 0);
  }
  if (view.refused) MessageBeep(MB_ICONEXCLAMATION);
}

// Reads the six texts, each as much as a field gives back, and calculates:
// with a switch toggled first (the automatic check box has already toggled
// itself), or as Calc does.
constexpr int kNoSwitch = -1;
void CalculateFromWindow(int toggled_switch) {
  char chars[kFieldCount][kMaxValueTextLength + 1];
  FieldTexts texts;
  for (int field = 0; field < kFieldCount; ++field) {
    GetWindowTextA(g_fields[field], chars[field], sizeof chars[field]);
    texts[static_cast<std::size_t>(field)] = chars[field];
  }
  Draw(toggled_switch == kNoSwitch
           ? PressCalc(g_model, texts, FocusedField())
           : ToggleSwitch(g_model, static_cast<Switch>(toggled_switch), texts));
}

INT_PTR OnInitDialog(HWND window) {
  MakeTopmost(window);
  LookUpControls(window);
  SetWindowIcons(window);
  Draw(ViewOf(g_model));
  return 1;  // the platform focuses the first tab stop, the pay field
}

INT_PTR OnCommand(WPARAM wparam) {
  const int id = LOWORD(wparam);
  switch (id) {
    case IDC_CALC:
    case IDC_WTR:
    case IDC_ERNI:
      CalculateFromWindow(id == IDC_CALC ? kNoSwitch : id == IDC_WTR ? kWtrSwitch : kErniSwitch);
      return 1;
    case IDC_MODE_PAY:
      WriteNotificationCodeLine(HIWORD(wparam));
      [[fallthrough]];
    case IDC_MODE_CHARGE:
    case IDC_MODE_MARGIN:
      Draw(ChooseMode(g_model, ModeOfButton(id)));
      return 1;
    default:
      return 0;  // the fields' own notifications, and Escape's cancel
  }
}

// The system colours in the order of SystemColour.
constexpr int kSystemColours[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNSHADOW};

COLORREF ColourOf(const Paint& paint) {
  if (paint.is_system) return GetSysColor(kSystemColours[static_cast<int>(paint.system)]);
  return RGB(paint.red, paint.green, paint.blue);
}

// The background brush of each look: FaceBrush for a derived field, and
// the system's own brush of the look's background colour for the rest, so
// that a field's empty part and the cells behind its text are one colour.
HBRUSH BrushOf(const Look& look) {
  if (&look == &kDerivedLook) return g_face_brush;
  return GetSysColorBrush(kSystemColours[static_cast<int>(look.background.system)]);
}

INT_PTR PaintIn(HDC dc, const Look& look) {
  SetTextColor(dc, ColourOf(look.text));
  SetBkColor(dc, ColourOf(look.background));
  return reinterpret_cast<INT_PTR>(BrushOf(look));
}

INT_PTR OnControlColour(UINT message, HDC dc, HWND control) {
  if (message == WM_CTLCOLORSTATIC) {
    const LONG id = GetWindowLongA(control, GWL_ID);
    if (id == IDC_VALUES_HDR || id == IDC_CALC_HDR) return PaintIn(dc, kHeaderLook);
  }
  for (int field = 0; field < kFieldCount; ++field) {
    if (control == g_fields[field]) {
      return PaintIn(dc, IsInputField(g_model, field) ? kInputLook : kDerivedLook);
    }
  }
  return 0;
}

INT_PTR OnHelp(HWND window) {
  OpenHelpFile(window);
  return 1;
}

INT_PTR OnClose(HWND window) {
  DestroyWindow(window);
  DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutDialogProc, 0);
  PostQuitMessage(0);
  return 1;
}

// Logging off or shutting down ends the process without the normal close,
// so the figures are saved here or they would be lost.
INT_PTR OnEndSession(WPARAM ending) {
  if (!ending) return 0;
  SaveSettings(g_model);
  return 1;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(window);
    case WM_COMMAND:
      return OnCommand(wparam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      return OnControlColour(message, reinterpret_cast<HDC>(wparam),
                             reinterpret_cast<HWND>(lparam));
    case WM_HELP:
      return OnHelp(window);
    case WM_CLOSE:
      return OnClose(window);
    case WM_ENDSESSION:
      return OnEndSession(wparam);
    default:
      return 0;
  }
}

}  // namespace ratecalc
