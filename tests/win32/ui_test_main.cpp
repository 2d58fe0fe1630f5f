// The process-wide state the windows expect, set up as the entry point
// would: this executable carries the same resources as the program.
#include <gtest/gtest.h>
#include <windows.h>

#include "app_state.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ratecalc::Instance = GetModuleHandleA(nullptr);
  ratecalc::FaceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  const int result = RUN_ALL_TESTS();
  DeleteObject(ratecalc::FaceBrush);
  return result;
}
