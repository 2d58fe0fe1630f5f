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
// destroyed, in the template's order.
HWND g_controls[kMainWindow.controls.size()];

HWND Control(int place) { return g_controls[place]; }
HWND FieldControlHandle(int field) { return Control(FieldControl(field)); }

void LookUpControls(HWND window) {
  for (std::size_t place = 0; place < kMainWindow.controls.size(); ++place) {
    const int id = kMainWindow.controls[place].id;
    g_controls[place] = id == IDC_NONE ? nullptr : GetDlgItem(window, id);
  }
}

// The field that has the keyboard focus, or kNoField.
int FocusedField() {
  const HWND focus = GetFocus();
  for (int field = 0; field < kFieldCount; ++field) {
    if (focus == FieldControlHandle(field)) return field;
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
    SetCheck(Control(SwitchControl(static_cast<Switch>(which))), view.switch_on[which]);
  }
  for (CalcMode mode : {CalcMode::Pay, CalcMode::Charge, CalcMode::Margin}) {
    SetCheck(Control(ModeControl(mode)), view.mode == mode);
  }
  for (int field = 0; field < kFieldCount; ++field) {
    SetWindowTextA(FieldControlHandle(field), view.fields[field].text.c_str());
  }
  for (int field = 0; field < kFieldCount; ++field) {
    SendMessageA(FieldControlHandle(field), EM_SETREADONLY, view.fields[field].input ? FALSE : TRUE,
                 0);
  }
  if (view.refused) MessageBeep(MB_ICONEXCLAMATION);
}

// The six texts as the fields hold them, each as much as a field gives back.
struct WindowTexts {
  char chars[kFieldCount][kMaxValueTextLength + 1];
  FieldTexts views;
};

void ReadTexts(WindowTexts& texts) {
  for (int field = 0; field < kFieldCount; ++field) {
    GetWindowTextA(FieldControlHandle(field), texts.chars[field], sizeof texts.chars[field]);
    texts.views[static_cast<std::size_t>(field)] = texts.chars[field];
  }
}

void OnCalc() {
  WindowTexts texts;
  ReadTexts(texts);
  Draw(PressCalc(g_model, texts.views, FocusedField()));
}

// The automatic check box has already toggled itself; the rules toggle the
// model's switch to match.
void OnSwitch(Switch which) {
  WindowTexts texts;
  ReadTexts(texts);
  Draw(ToggleSwitch(g_model, which, texts.views));
}

INT_PTR OnInitDialog(HWND window) {
  MakeTopmost(window);
  LookUpControls(window);
  SetWindowIcons(window);
  Draw(ViewOf(g_model));
  return 1;  // the platform focuses the first tab stop, the pay field
}

INT_PTR OnCommand(WPARAM wparam) {
  switch (LOWORD(wparam)) {
    case IDC_CALC:
      OnCalc();
      return 1;
    case IDC_WTR:
      OnSwitch(kWtrSwitch);
      return 1;
    case IDC_ERNI:
      OnSwitch(kErniSwitch);
      return 1;
    case IDC_MODE_PAY:
      WriteNotificationCodeLine(HIWORD(wparam));
      Draw(ChooseMode(g_model, CalcMode::Pay));
      return 1;
    case IDC_MODE_CHARGE:
      Draw(ChooseMode(g_model, CalcMode::Charge));
      return 1;
    case IDC_MODE_MARGIN:
      Draw(ChooseMode(g_model, CalcMode::Margin));
      return 1;
    default:
      return 0;  // the fields' own notifications, and Escape's cancel
  }
}

COLORREF ColourOf(const Paint& paint) {
  if (!paint.is_system) return RGB(paint.red, paint.green, paint.blue);
  switch (paint.system) {
    case SystemColour::kWindow:
      return GetSysColor(COLOR_WINDOW);
    case SystemColour::kWindowText:
      return GetSysColor(COLOR_WINDOWTEXT);
    case SystemColour::kButtonFace:
      return GetSysColor(COLOR_BTNFACE);
    case SystemColour::kButtonShadow:
      return GetSysColor(COLOR_BTNSHADOW);
  }
  return 0;
}

// The background brush of each look: white for an input field, FaceBrush
// for a derived one, the system's own brush for the headings.
HBRUSH BrushOf(const Look& look) {
  if (&look == &kInputLook) return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  if (&look == &kDerivedLook) return g_face_brush;
  return GetSysColorBrush(COLOR_BTNSHADOW);
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
    if (control == FieldControlHandle(field)) {
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
  for (CloseStep step : kCloseSequence) {
    switch (step) {
      case CloseStep::kHideMainWindow:
        DestroyWindow(window);
        break;
      case CloseStep::kShowAboutAndWait:
        DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutDialogProc, 0);
        break;
      case CloseStep::kQuit:
        PostQuitMessage(0);
        break;
    }
  }
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
