// The main window, created from the real template with the real procedure
// and driven the way the dialog manager drives it.
#include "main_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialog_test_support.h"
#include "process_state.h"
#include "resource.h"
#include "settings_file.h"
#include "shell_services.h"
#include "value_text.h"

namespace ratecalc {
namespace {

using testing::HasStyle;
using testing::PressKey;
using testing::PumpMessages;
using testing::TakeQuitMessage;
using testing::TextOf;

std::vector<std::string> g_debug_lines;
void WINAPI CaptureDebugLine(LPCSTR text) { g_debug_lines.emplace_back(text); }

struct ShellCall {
  HWND parent;
  std::string verb, file, parameters, directory;
  INT show;
};
std::vector<ShellCall> g_shell_calls;
HINSTANCE WINAPI CaptureShellExecute(HWND parent, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                     LPCSTR directory, INT show) {
  g_shell_calls.push_back({parent, verb ? verb : "<null>", file ? file : "<null>",
                           parameters ? parameters : "<null>", directory ? directory : "<null>",
                           show});
  return reinterpret_cast<HINSTANCE>(33);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    g_model = RateModel{};
    g_debug_lines.clear();
    g_shell_calls.clear();
    g_debug_line_output = CaptureDebugLine;
    g_shell_execute = CaptureShellExecute;
  }
  void TearDown() override {
    if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);
    PumpMessages();
    TakeQuitMessage();
  }

  void Open() {
    dialog_ =
        CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
    SetForegroundWindow(dialog_);
    PumpMessages();
  }

  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  std::string Text(int id) const { return TextOf(Item(id)); }
  void Type(int id, const std::string& text) { SetWindowTextA(Item(id), text.c_str()); }
  void Click(int id) {
    SendMessageA(Item(id), BM_CLICK, 0, 0);
    PumpMessages();
  }
  void EnterIn(int id) {
    SetFocus(Item(id));
    PressKey(dialog_, VK_RETURN);
  }
  std::vector<std::string> Figures() const {
    std::vector<std::string> out;
    for (int id : kFieldIds) out.push_back(Text(id));
    return out;
  }
  bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

  HWND dialog_ = nullptr;
};

using Shown = std::vector<std::string>;

TEST_F(MainWindow, TheRoadOfOneCalculation) {
  Open();
  EXPECT_EQ(GetFocus(), Item(IDC_PAY_AMT));  // the first tab stop, read-only or not
  Type(IDC_CHARGE_AMT, "20");
  Type(IDC_MARGIN_PCT, "10");
  EnterIn(IDC_MARGIN_PCT);
  EXPECT_EQ(Figures(), (Shown{"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}));
  EXPECT_TRUE(HasStyle(Item(IDC_PAY_AMT), ES_READONLY));
  EXPECT_EQ(GetFocus(), Item(IDC_MARGIN_PCT));
  EXPECT_NEAR(g_model.nPayAmt, 14.1136, 1e-4);
}

TEST_F(MainWindow, OpensOnTopShowingTheModel) {
  g_model.sCalcMode = CalcMode::Charge;
  g_model.bCalcERNI = 0;
  g_model.nPayAmt = 14.11;
  Open();
  EXPECT_TRUE(GetWindowLongA(dialog_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const HICON icon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_APP));
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_SMALL, 0)), icon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_BIG, 0)), icon);
  EXPECT_EQ(Figures(), (Shown{"14.11", "0.00", "12.07", "13.80", "0.00", "0.00"}));
  EXPECT_TRUE(Checked(IDC_WTR));
  EXPECT_FALSE(Checked(IDC_ERNI));
  EXPECT_FALSE(Checked(IDC_MODE_PAY));
  EXPECT_TRUE(Checked(IDC_MODE_CHARGE));
  EXPECT_FALSE(Checked(IDC_MODE_MARGIN));
}

TEST_F(MainWindow, EnterInTheAmountFieldUsesTheAmount) {
  Open();
  Type(IDC_CHARGE_AMT, "20");
  Type(IDC_MARGIN_PCT, "10");
  EnterIn(IDC_MARGIN_PCT);
  Type(IDC_MARGIN_AMT, "3");
  EnterIn(IDC_MARGIN_AMT);
  EXPECT_EQ(Text(IDC_MARGIN_PCT), "15.00");
  EXPECT_EQ(Text(IDC_PAY_AMT), "13.33");  // from 20 - 3 = 17
}

TEST_F(MainWindow, ClickOnCalcLetsThePercentageWin) {
  Open();
  Type(IDC_CHARGE_AMT, "20");
  Type(IDC_MARGIN_PCT, "10");
  EnterIn(IDC_MARGIN_PCT);
  Type(IDC_MARGIN_AMT, "3");
  SetFocus(Item(IDC_MARGIN_AMT));
  Click(IDC_CALC);
  EXPECT_EQ(GetFocus(), Item(IDC_CALC));
  EXPECT_EQ(Text(IDC_MARGIN_AMT), "2.00");
  EXPECT_EQ(Text(IDC_PAY_AMT), "14.11");
}

TEST_F(MainWindow, PayModeButtonAloneWritesTheDebugLine) {
  Open();
  for (int id : {IDC_CALC, IDC_WTR, IDC_ERNI, IDC_MODE_CHARGE, IDC_MODE_MARGIN}) Click(id);
  EXPECT_TRUE(g_debug_lines.empty());
  Click(IDC_MODE_PAY);
  EXPECT_EQ(g_debug_lines, (std::vector<std::string>{"NC: 0\n"}));
  EXPECT_EQ(g_model.sCalcMode, CalcMode::Pay);
}

TEST_F(MainWindow, ModeButtonsRefreshWithoutCalculating) {
  g_model.nChargeAmt = 20;
  g_model.nMarginPct = 10;
  Open();
  Type(IDC_CHARGE_AMT, "50");
  Click(IDC_MODE_MARGIN);
  EXPECT_EQ(Text(IDC_CHARGE_AMT), "20.00");
  EXPECT_EQ(Text(IDC_PAY_AMT), "0.00");
  EXPECT_EQ(g_model.sCalcMode, CalcMode::Margin);
  EXPECT_TRUE(Checked(IDC_MODE_MARGIN));
  EXPECT_FALSE(Checked(IDC_MODE_PAY));
}

TEST_F(MainWindow, CheckBoxesRecalculateWithTheTextJustTyped) {
  Open();
  Type(IDC_CHARGE_AMT, "20");
  Type(IDC_MARGIN_PCT, "10");
  Click(IDC_WTR);
  EXPECT_EQ(g_model.bCalcWTR, 0);
  EXPECT_EQ(Text(IDC_PAY_AMT), "15.82");  // 18 / 1.138, without WTR
  EXPECT_EQ(Text(IDC_WTR_PCT), "12.07");
  EXPECT_TRUE(HasStyle(Item(IDC_WTR_PCT), ES_READONLY));
  Click(IDC_ERNI);
  EXPECT_EQ(Text(IDC_PAY_AMT), "18.00");
  Click(IDC_WTR);
  Click(IDC_ERNI);
  EXPECT_EQ(Text(IDC_PAY_AMT), "14.11");
  EXPECT_FALSE(HasStyle(Item(IDC_WTR_PCT), ES_READONLY));
}

// The look of each field for every mode and both switches: read-only and
// blue on the button face exactly when derived.
TEST_F(MainWindow, ReadOnlyAndColoursFollowTheModeAndSwitches) {
  Open();
  const HDC dc = CreateCompatibleDC(nullptr);
  const CalcMode modes[] = {CalcMode::Pay, CalcMode::Charge, CalcMode::Margin};
  const int mode_buttons[] = {IDC_MODE_PAY, IDC_MODE_CHARGE, IDC_MODE_MARGIN};
  for (int m = 0; m < 3; ++m) {
    for (int flags = 0; flags < 4; ++flags) {
      g_model.bCalcWTR = flags & 1;
      g_model.bCalcERNI = flags >> 1;
      Click(mode_buttons[m]);
      const bool derived[] = {modes[m] == CalcMode::Pay,    modes[m] == CalcMode::Charge,
                              g_model.bCalcWTR == 0,        g_model.bCalcERNI == 0,
                              modes[m] == CalcMode::Margin, modes[m] == CalcMode::Margin};
      for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE("mode " + std::to_string(m) + " flags " + std::to_string(flags) + " field " +
                     std::to_string(f));
        const HWND field = Item(kFieldIds[f]);
        EXPECT_EQ(HasStyle(field, ES_READONLY), derived[f]);
        EXPECT_TRUE(IsWindowEnabled(field));
        EXPECT_TRUE(HasStyle(field, WS_TABSTOP));
        const UINT message = derived[f] ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
        SetTextColor(dc, RGB(1, 2, 3));
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
            dialog_, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
        if (derived[f]) {
          EXPECT_EQ(brush, g_face_brush);
          EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
          EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
        } else {
          EXPECT_EQ(brush, GetSysColorBrush(COLOR_WINDOW));
          EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
          EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
        }
      }
    }
  }
  DeleteDC(dc);
}

TEST_F(MainWindow, HeadersAreWhiteOnShadowAndOtherControlsKeepTheirColours) {
  Open();
  const HDC dc = CreateCompatibleDC(nullptr);
  for (int id : {IDC_VALUES_HDR, IDC_CALC_HDR}) {
    const auto brush = SendMessageA(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                    reinterpret_cast<LPARAM>(Item(id)));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNSHADOW));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNSHADOW));
  }
  // Left to the platform: the procedure itself answers 0.
  for (int id : {IDC_WTR, IDC_ERNI, IDC_MODE_PAY, IDC_CALC}) {
    EXPECT_EQ(MainDialogProc(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(Item(id))),
              0);
  }
  const HWND label = GetWindow(Item(IDC_VALUES_HDR), GW_HWNDNEXT);  // "Pay  £"
  EXPECT_EQ(MainDialogProc(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(label)),
            0);
  // An edit-colour request from a header is not a header's business.
  EXPECT_EQ(MainDialogProc(dialog_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(Item(IDC_VALUES_HDR))),
            0);
  DeleteDC(dc);
}

TEST_F(MainWindow, EscapeLeavesTheWindowOpen) {
  Open();
  PressKey(dialog_, VK_ESCAPE);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(MainWindow, F1OpensTheHelpFile) {
  Open();
  SetFocus(Item(IDC_CHARGE_AMT));
  // F1 becomes WM_HELP only on the way in from the keyboard, so it goes in
  // as real input.
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
  for (int i = 0; i < 50 && g_shell_calls.empty(); ++i) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageA(dialog_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    Sleep(20);
  }
  ASSERT_EQ(g_shell_calls.size(), 1u);
  EXPECT_EQ(g_shell_calls[0].parent, dialog_);
  EXPECT_EQ(g_shell_calls[0].verb, "Open");
  EXPECT_EQ(g_shell_calls[0].file, "KOVRateCalc.chm");
  EXPECT_EQ(g_shell_calls[0].parameters, "");
  EXPECT_EQ(g_shell_calls[0].directory, "");
  EXPECT_EQ(g_shell_calls[0].show, SW_SHOWNORMAL);
}

// All three mode buttons are tab stops in the template (the resource test
// checks that); at run time the button control keeps the tab stop on the
// selected one only, so Tab reaches the mode group once, at its selection.
TEST_F(MainWindow, TabWalksTheFieldsSwitchesAndSelectedModeNeverCalc) {
  const int fields[] = {IDC_PAY_AMT, IDC_CHARGE_AMT, IDC_WTR,        IDC_WTR_PCT,
                        IDC_ERNI,    IDC_ERNI_PCT,   IDC_MARGIN_AMT, IDC_MARGIN_PCT};
  const std::pair<CalcMode, int> modes[] = {{CalcMode::Pay, IDC_MODE_PAY},
                                            {CalcMode::Charge, IDC_MODE_CHARGE},
                                            {CalcMode::Margin, IDC_MODE_MARGIN}};
  for (const auto& [mode, button] : modes) {
    g_model.sCalcMode = mode;
    Open();
    std::vector<int> expected(std::begin(fields), std::end(fields));
    expected.push_back(button);
    expected.push_back(IDC_PAY_AMT);
    SetFocus(Item(IDC_PAY_AMT));
    for (std::size_t i = 1; i < expected.size(); ++i) {
      PressKey(dialog_, VK_TAB);
      EXPECT_EQ(GetDlgCtrlID(GetFocus()), expected[i]) << "mode button " << button << ", tab " << i;
    }
    PressKey(dialog_, VK_TAB);
    EXPECT_EQ(GetFocus(), Item(IDC_CHARGE_AMT));
    EXPECT_FALSE(HasStyle(Item(IDC_CALC), WS_TABSTOP));
    DestroyWindow(dialog_);
  }
}

TEST_F(MainWindow, EnterAnywhereCalculatesAndKeepsTheFocus) {
  Open();
  for (int id : {IDC_PAY_AMT, IDC_CHARGE_AMT, IDC_WTR, IDC_WTR_PCT, IDC_ERNI, IDC_ERNI_PCT,
                 IDC_MARGIN_AMT, IDC_MARGIN_PCT, IDC_MODE_PAY, IDC_MODE_CHARGE, IDC_MODE_MARGIN}) {
    g_model.sCalcMode = CalcMode::Pay;
    g_model.nPayAmt = 0;
    Type(IDC_PAY_AMT, "0");
    Type(IDC_CHARGE_AMT, "20");
    Type(IDC_MARGIN_AMT, "2");
    Type(IDC_MARGIN_PCT, "10");
    EnterIn(id);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), id);
    EXPECT_EQ(Text(IDC_PAY_AMT), "14.11") << "Enter on control " << id;
  }
}

struct HostileCase {
  const char* name;
  std::string text;
  std::string shown;  // what the WTR % field shows after Calc
};

// Whatever lands in a field, Calc gives a defined result. Figures too long
// to read back from a field are refused, leaving the previous figures.
TEST_F(MainWindow, HostileFieldTextGivesADefinedFigureOrIsRefused) {
  // clang-format off
  const HostileCase cases[] = {
      // name, text typed into the WTR % field, what it shows after Calc
      {"empty", "", "0.00"},
      {"79 digits: a figure too long to show", std::string(79, '1'), "12.07"},
      {"200 digits", std::string(200, '2'), "12.07"},
      {"75 digits still fit", std::string(75, '3'),
       "33333333333333331" + std::string(58, '0') + ".00"},
      {"overflow", "1e400", "inf"},
      {"negative overflow", "-1e400", "-inf"},
      {"not a number", "nan", "0.00"},
      {"pound sign", "\xa3" "12", "0.00"},
      {"control characters", "\x01\x02\x7f", "0.00"},
      {"tab then number", "\t7", "7.00"},
      {"number then words", "12.5 per hour", "12.50"},
  };
  // clang-format on
  for (const HostileCase& c : cases) {
    g_model = RateModel{};
    g_model.sCalcMode = CalcMode::Margin;
    g_model.nPayAmt = 10;
    g_model.nChargeAmt = 20;
    Open();
    Type(IDC_WTR_PCT, c.text);
    Click(IDC_CALC);
    EXPECT_EQ(Text(IDC_WTR_PCT), c.shown) << c.name;
    for (int id : kFieldIds) EXPECT_LE(Text(id).size(), kMaxValueTextLength) << c.name;
    DestroyWindow(dialog_);
  }
}

TEST_F(MainWindow, EveryFieldSurvivesHostileText) {
  // clang-format off
  const std::string texts[] = {"", std::string(200, '9'), "1e400", "-1e400", "nan", "\xa3" "12", "-0", "\x01\x02"};
  // clang-format on
  for (int mode = 1; mode <= 3; ++mode) {
    for (int target : kFieldIds) {
      for (const std::string& text : texts) {
        g_model = RateModel{};
        g_model.sCalcMode = static_cast<CalcMode>(mode);
        Open();
        Type(IDC_CHARGE_AMT, "20");
        Type(IDC_MARGIN_PCT, "10");
        Type(target, text);
        EnterIn(target);
        for (int id : kFieldIds) EXPECT_LE(Text(id).size(), kMaxValueTextLength);
        DestroyWindow(dialog_);
      }
    }
  }
}

// The close sequence: the main window is gone before the About window
// appears, and the quit comes only once that is closed.
HWND g_main_at_about;
bool g_main_alive_at_about = true;
HHOOK g_hook;
LRESULT CALLBACK WatchForAbout(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    char title[64] = "";
    GetWindowTextA(reinterpret_cast<HWND>(wparam), title, sizeof title);
    if (std::string(title) == "About KOV Rate Calculator") {
      g_main_alive_at_about = IsWindow(g_main_at_about) != 0;
      PostMessageA(reinterpret_cast<HWND>(wparam), WM_CLOSE, 0, 0);
    }
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

TEST_F(MainWindow, ClosingPassesThroughTheAboutWindow) {
  Open();
  g_main_at_about = dialog_;
  g_hook = SetWindowsHookExA(WH_CBT, WatchForAbout, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  SendMessageA(dialog_, WM_CLOSE, 0, 0);
  UnhookWindowsHookEx(g_hook);
  EXPECT_FALSE(IsWindow(dialog_));
  EXPECT_FALSE(g_main_alive_at_about);
  EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(MainWindow, EndOfSessionSavesTheFigures) {
  const auto folder = std::filesystem::temp_directory_path() / "ratecalc-endsession";
  std::filesystem::create_directories(folder);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  std::filesystem::remove(kSettingsPath);
  Open();
  Type(IDC_CHARGE_AMT, "20");
  Type(IDC_MARGIN_PCT, "10");
  EnterIn(IDC_MARGIN_PCT);
  SendMessageA(dialog_, WM_ENDSESSION, FALSE, 0);
  EXPECT_FALSE(std::filesystem::exists(kSettingsPath));
  SendMessageA(dialog_, WM_ENDSESSION, TRUE, 0);
  RateModel saved;
  LoadSettings(saved);
  EXPECT_EQ(saved.nPayAmt, 14.11);
  EXPECT_EQ(saved.nChargeAmt, 20.0);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ratecalc
