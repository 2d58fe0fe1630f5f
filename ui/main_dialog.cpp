#include "main_dialog.h"

#include <iterator>

#include "about_dialog.h"
#include "model_keys.h"
#include "process_state.h"
#include "rate_model.h"
#include "resource.h"
#include "settings_file.h"
#include "shell_services.h"
#include "value_text.h"
#include "window_rules.h"
#include "window_setup.h"

namespace ratecalc {
namespace {

// A field's place, its figure and its control agree, entry by entry.
static_assert(std::size(kFieldIds) == kFieldCount);
static_assert(kFigures[kPayField].member == &RateModel::nPayAmt &&
              kFieldIds[kPayField] == IDC_PAY_AMT);
static_assert(kFigures[kChargeField].member == &RateModel::nChargeAmt &&
              kFieldIds[kChargeField] == IDC_CHARGE_AMT);
static_assert(kFigures[kWtrPctField].member == &RateModel::nWTRPct &&
              kFieldIds[kWtrPctField] == IDC_WTR_PCT);
static_assert(kFigures[kErniPctField].member == &RateModel::nERNIPct &&
              kFieldIds[kErniPctField] == IDC_ERNI_PCT);
static_assert(kFigures[kMarginAmtField].member == &RateModel::nMarginAmt &&
              kFieldIds[kMarginAmtField] == IDC_MARGIN_AMT);
static_assert(kFigures[kMarginPctField].member == &RateModel::nMarginPct &&
              kFieldIds[kMarginPctField] == IDC_MARGIN_PCT);

constexpr COLORREF kDerivedText = RGB(0, 0, 255);
constexpr COLORREF kHeaderText = RGB(255, 255, 255);

// Control handles, valid from WM_INITDIALOG until the window is destroyed.
HWND g_wtr_check;
HWND g_erni_check;
HWND g_pay_mode_button;
HWND g_charge_mode_button;
HWND g_margin_mode_button;
HWND g_fields[kFieldCount];

void LookUpControls(HWND window) {
  g_wtr_check = GetDlgItem(window, IDC_WTR);
  g_erni_check = GetDlgItem(window, IDC_ERNI);
  g_pay_mode_button = GetDlgItem(window, IDC_MODE_PAY);
  g_charge_mode_button = GetDlgItem(window, IDC_MODE_CHARGE);
  g_margin_mode_button = GetDlgItem(window, IDC_MODE_MARGIN);
  for (int i = 0; i < kFieldCount; ++i) g_fields[i] = GetDlgItem(window, kFieldIds[i]);
}

// The field that has the keyboard focus, or kNoField.
int FocusedField() {
  const HWND focus = GetFocus();
  for (int field = 0; field < kFieldCount; ++field) {
    if (focus == g_fields[field]) return field;
  }
  return kNoField;
}

int CheckState(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetCheck(HWND button, bool on) {
  SendMessageA(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetReadOnly(int field, bool read_only) {
  SendMessageA(g_fields[field], EM_SETREADONLY, read_only ? TRUE : FALSE, 0);
}

// Makes every control show the model: switches, mode, figures, and which
// fields are read-only.
void RefreshDisplay() {
  SetCheck(g_wtr_check, g_model.bCalcWTR != 0);
  SetCheck(g_erni_check, g_model.bCalcERNI != 0);
  SetCheck(g_pay_mode_button, g_model.sCalcMode == CalcMode::Pay);
  SetCheck(g_charge_mode_button, g_model.sCalcMode == CalcMode::Charge);
  SetCheck(g_margin_mode_button, g_model.sCalcMode == CalcMode::Margin);
  for (int field = 0; field < kFieldCount; ++field) {
    SetWindowTextA(g_fields[field], FieldText(g_model, field).c_str());
  }
  for (int field = 0; field < kFieldCount; ++field) {
    SetReadOnly(field, !IsInputField(g_model, field));
  }
}

// Read, calculate, show; a refused result (a figure too long for a field)
// beeps and leaves the previous figures on show.
void CalculateFromWindow() {
  char texts[kFieldCount][kMaxValueTextLength + 1];
  FieldTexts views;
  for (int field = 0; field < kFieldCount; ++field) {
    GetWindowTextA(g_fields[field], texts[field], sizeof texts[field]);
    views[static_cast<std::size_t>(field)] = texts[field];
  }
  if (PressCalc(g_model, views, FocusedField()).refused) MessageBeep(MB_ICONEXCLAMATION);
  RefreshDisplay();
}

void SelectMode(CalcMode mode) {
  g_model.sCalcMode = mode;
  RefreshDisplay();
}

INT_PTR OnInitDialog(HWND window) {
  MakeTopmost(window);
  LookUpControls(window);
  SetWindowIcons(window);
  RefreshDisplay();
  return 1;  // the platform focuses the first tab stop, the pay field
}

INT_PTR OnCommand(WPARAM wparam) {
  switch (LOWORD(wparam)) {
    case IDC_CALC:
      CalculateFromWindow();
      return 1;
    case IDC_WTR:
      g_model.bCalcWTR = CheckState(g_wtr_check);
      CalculateFromWindow();
      return 1;
    case IDC_ERNI:
      g_model.bCalcERNI = CheckState(g_erni_check);
      CalculateFromWindow();
      return 1;
    case IDC_MODE_PAY:
      WriteNotificationCodeLine(HIWORD(wparam));
      SelectMode(CalcMode::Pay);
      return 1;
    case IDC_MODE_CHARGE:
      SelectMode(CalcMode::Charge);
      return 1;
    case IDC_MODE_MARGIN:
      SelectMode(CalcMode::Margin);
      return 1;
    default:
      return 0;  // the fields' own notifications, and Escape's cancel
  }
}

// Black on white for a field the user types in, blue on the button face
// for a derived one; the answer is the field's background brush.
HBRUSH PickFieldColours(HDC dc, bool input_look) {
  if (input_look) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  SetTextColor(dc, kDerivedText);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return g_face_brush;
}

INT_PTR OnControlColour(UINT message, HDC dc, HWND control) {
  if (message == WM_CTLCOLORSTATIC) {
    const LONG id = GetWindowLongA(control, GWL_ID);
    if (id == IDC_VALUES_HDR || id == IDC_CALC_HDR) {
      SetTextColor(dc, kHeaderText);
      SetBkColor(dc, GetSysColor(COLOR_BTNSHADOW));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNSHADOW));
    }
  }
  for (int field = 0; field < kFieldCount; ++field) {
    if (control == g_fields[field]) {
      return reinterpret_cast<INT_PTR>(PickFieldColours(dc, IsInputField(g_model, field)));
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
