// What the templates' font makes of the labels where the program runs: each
// static text of both windows must be wide enough for its text, and the
// caption buttons need Marlett. Under Wine this holds only in a prefix
// prepared with the platform's dialog fonts (scripts/wine_prefix.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>

#include "resource.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

struct Fit {
  std::string text;
  int advance, ink, width;
};

// Every label of the templates is one line. What must fit is the ink: a
// bitmap font's glyph cell ends in blank spacing columns, which the advance
// (DrawText's DT_CALCRECT) counts but which the eye does not see.
Fit Measure(HWND label) {
  char text[256];
  const int length = GetWindowTextA(label, text, sizeof text);
  RECT client;
  GetClientRect(label, &client);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
  RECT extent = {0, 0, 0, 0};
  DrawTextA(dc, text, length, &extent, DT_CALCRECT | DT_SINGLELINE);
  const HBITMAP bitmap = CreateBitmap(extent.right, extent.bottom, 1, 1, nullptr);
  const HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  PatBlt(dc, 0, 0, extent.right, extent.bottom, WHITENESS);
  DrawTextA(dc, text, length, &extent, DT_SINGLELINE);
  int first = extent.right, last = -1;
  for (int x = 0; x < extent.right; ++x)
    for (int y = 0; y < extent.bottom; ++y)
      if (GetPixel(dc, x, y) == RGB(0, 0, 0)) {
        if (first > x) first = x;
        last = x;
      }
  SelectObject(dc, old_bitmap);
  SelectObject(dc, old_font);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return {text, static_cast<int>(extent.right), last - first + 1, static_cast<int>(client.right)};
}

TEST(Labels, EveryStaticTextOfBothWindowsIsWideEnoughForItsText) {
  for (int dialog_id : {IDD_MAIN, IDD_ABOUT}) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog_id),
                                     nullptr, PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    int labels = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char class_name[16];
      GetClassNameA(child, class_name, sizeof class_name);
      const LONG type = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
      if (lstrcmpiA(class_name, "Static") != 0 || type == SS_BITMAP || type == SS_ICON) continue;
      const Fit fit = Measure(child);
      ++labels;
      EXPECT_GT(fit.ink, 0) << "\"" << fit.text << "\" draws nothing";
      EXPECT_LE(fit.ink, fit.width)
          << "dialog " << dialog_id << ": \"" << fit.text << "\" needs " << fit.ink
          << " pixels (advance " << fit.advance << ") and has " << fit.width;
    }
    EXPECT_EQ(labels, dialog_id == IDD_MAIN ? 8 : 1);
    DestroyWindow(dialog);
  }
}

int CALLBACK NoteFace(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

TEST(Labels, CaptionButtonSymbolsHaveTheirFont) {
  LOGFONTA wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpyA(wanted.lfFaceName, "Marlett");
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExA(dc, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  EXPECT_TRUE(found) << "no Marlett font: caption buttons draw as letters";
}

}  // namespace
