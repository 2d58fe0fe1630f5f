// The calculator window: six figures, two on-cost switches, three mode
// buttons and Calc, brought to life on the process's RateModel by the
// window rules.
#pragma once

#include <windows.h>

#include <array>

#include "window_template.h"

namespace ratecalc {

// The control of each figure, in the order of Field, from the template.
inline constexpr std::array<int, kFieldCount> kFieldIds = [] {
  std::array<int, kFieldCount> ids{};
  for (int field = 0; field < kFieldCount; ++field) {
    ids[static_cast<std::size_t>(field)] =
        kMainWindow.controls[static_cast<std::size_t>(FieldControl(field))].id;
  }
  return ids;
}();

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ratecalc
