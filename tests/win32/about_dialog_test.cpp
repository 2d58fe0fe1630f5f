// The About window, created from the real template with the real procedure.
#include "about_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "dialog_test_support.h"
#include "process_state.h"
#include "resource.h"

namespace ratecalc {
namespace {

using testing::PressKey;
using testing::TakeQuitMessage;

class AboutWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ =
        CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
  }
  void TearDown() override {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
    TakeQuitMessage();
  }
  HWND dialog_ = nullptr;
};

TEST_F(AboutWindow, StaysOnTopWithTheProgramIcon) {
  EXPECT_TRUE(GetWindowLongA(dialog_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const HICON icon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_APP));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_SMALL, 0)), icon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dialog_, WM_GETICON, ICON_BIG, 0)), icon);
}

TEST_F(AboutWindow, ShowsThePictureAndANotice) {
  const HWND picture = GetWindow(dialog_, GW_CHILD);
  ASSERT_NE(picture, nullptr);
  EXPECT_NE(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  const HWND notice = GetWindow(picture, GW_HWNDNEXT);
  ASSERT_NE(notice, nullptr);
  EXPECT_GT(GetWindowTextLengthA(notice), 10);
}

TEST_F(AboutWindow, EscapeLeavesItOpen) {
  PressKey(dialog_, VK_ESCAPE);
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(AboutWindow, CloseDestroysItAndPostsQuit) {
  SendMessageA(dialog_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(dialog_));
  EXPECT_TRUE(TakeQuitMessage());
}

}  // namespace
}  // namespace ratecalc
