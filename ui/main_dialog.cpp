#include "main_dialog.h"

#include "about_dialog.h"
#include "app_state.h"
#include "rate_model.h"
#include "resource.h"
#include "settings_file.h"
#include "shell_services.h"
#include "value_text.h"
#include "window_setup.h"

namespace ratecalc {
namespace {

constexpr int kFieldCount = 6;
constexpr int kFieldIds[kFieldCount] = {IDC_PAY_AMT,  IDC_CHARGE_AMT, IDC_WTR_PCT,
                                        IDC_ERNI_PCT, IDC_MARGIN_AMT, IDC_MARGIN_PCT};
// The model figure behind each field, in the same order.
double RateModel::*const kFieldFigures[kFieldCount] = {
    &RateModel::nPayAmt,  &RateModel::nChargeAmt, &RateModel::nWTRPct,
    &RateModel::nERNIPct, &RateModel::nMarginAmt, &RateModel::nMarginPct};
enum Field { kPay, kCharge, kWtrPct, kErniPct, kMarginAmt, kMarginPct };

constexpr COLORREF kDerivedText = RGB(0, 0, 255);
constexpr COLORREF kHeaderText = RGB(255, 255, 255);

// Control handles, valid from WM_INITDIALOG until the window is destroyed.
HWND WtrCheck;
HWND ErniCheck;
HWND PayModeButton;
HWND ChargeModeButton;
HWND MarginModeButton;
HWND Fields[kFieldCount];

void LookUpControls(HWND window) {
  WtrCheck = GetDlgItem(window, IDC_WTR);
  ErniCheck = GetDlgItem(window, IDC_ERNI);
  PayModeButton = GetDlgItem(window, IDC_MODE_PAY);
  ChargeModeButton = GetDlgItem(window, IDC_MODE_CHARGE);
  MarginModeButton = GetDlgItem(window, IDC_MODE_MARGIN);
  for (int i = 0; i < kFieldCount; ++i) Fields[i] = GetDlgItem(window, kFieldIds[i]);
}

// Whether the field is one the user types in, by the mode and the switches;
// the others are derived, read-only and drawn in the derived look.
bool IsInputField(int field) {
  switch (field) {
    case kPay:
      return Model.sCalcMode != CalcMode::Pay;
    case kCharge:
      return Model.sCalcMode != CalcMode::Charge;
    case kWtrPct:
      return Model.bCalcWTR == 1;
    case kErniPct:
      return Model.bCalcERNI == 1;
    default:
      return Model.sCalcMode != CalcMode::Margin;
  }
}

MarginFocus FocusedMarginField() {
  const HWND focus = GetFocus();
  if (focus == Fields[kMarginAmt]) return MarginFocus::Amount;
  if (focus == Fields[kMarginPct]) return MarginFocus::Percent;
  return MarginFocus::None;
}

bool AllFiguresFit(const RateModel& model) {
  for (auto figure : kFieldFigures) {
    if (FormatValue(model.*figure).size() > kMaxValueTextLength) return false;
  }
  return true;
}

// Read, calculate, show. A result with a figure too long for a field to
// hold back (from about 1e76 up) is refused: the model goes back to what it
// was, the window beeps, and the fields show the previous figures.
void CalculateFromWindow() {
  const RateModel before = Model;
  ReadInputs();
  Calculate(Model, FocusedMarginField());
  if (!AllFiguresFit(Model)) {
    Model = before;
    MessageBeep(MB_ICONEXCLAMATION);
  }
  RefreshDisplay();
}

int CheckState(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetCheck(HWND button, bool on) {
  SendMessageA(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetReadOnly(int field, bool read_only) {
  SendMessageA(Fields[field], EM_SETREADONLY, read_only ? TRUE : FALSE, 0);
}

void SelectMode(CalcMode mode) {
  Model.sCalcMode = mode;
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
      Model.bCalcWTR = CheckState(WtrCheck);
      CalculateFromWindow();
      return 1;
    case IDC_ERNI:
      Model.bCalcERNI = CheckState(ErniCheck);
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
    if (control == Fields[field]) {
      return reinterpret_cast<INT_PTR>(PickFieldColours(dc, IsInputField(field)));
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
  DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutDialogProc, 0);
  PostQuitMessage(0);
  return 1;
}

// Logging off or shutting down ends the process without the normal close,
// so the figures are saved here or they would be lost.
INT_PTR OnEndSession(WPARAM ending) {
  if (!ending) return 0;
  SaveSettings(Model);
  return 1;
}

}  // namespace

void ReadInputs() {
  for (int field = 0; field < kFieldCount; ++field) {
    char text[kMaxValueTextLength + 1];
    GetWindowTextA(Fields[field], text, sizeof text);
    Model.*kFieldFigures[field] = ParseValue(text);
  }
}

void RefreshDisplay() {
  SetCheck(WtrCheck, Model.bCalcWTR != 0);
  SetCheck(ErniCheck, Model.bCalcERNI != 0);
  SetCheck(PayModeButton, Model.sCalcMode == CalcMode::Pay);
  SetCheck(ChargeModeButton, Model.sCalcMode == CalcMode::Charge);
  SetCheck(MarginModeButton, Model.sCalcMode == CalcMode::Margin);
  for (int field = 0; field < kFieldCount; ++field) {
    SetWindowTextA(Fields[field], FormatValue(Model.*kFieldFigures[field]).c_str());
  }
  for (int field = 0; field < kFieldCount; ++field) SetReadOnly(field, false);
  if (Model.bCalcWTR == 0) SetReadOnly(kWtrPct, true);
  if (Model.bCalcERNI == 0) SetReadOnly(kErniPct, true);
  for (int field : {kPay, kCharge, kMarginAmt, kMarginPct})
    SetReadOnly(field, !IsInputField(field));
}

HBRUSH PickFieldColours(HDC dc, bool input_look) {
  if (input_look) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  SetTextColor(dc, kDerivedText);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return FaceBrush;
}

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
