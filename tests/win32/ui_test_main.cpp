// The process-wide state the windows expect, set up as the entry point
// would: this executable carries the same resources as the program.
#include <gtest/gtest.h>
#include <windows.h>

#include "process_state.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ratecalc::g_instance = GetModuleHandleA(nullptr);
  ratecalc::g_face_brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  const int result = RUN_ALL_TESTS();
  DeleteObject(ratecalc::g_face_brush);
  return result;
}
