#include "process_state.h"

namespace ratecalc {

HINSTANCE g_instance = nullptr;
RateModel g_model;
HBRUSH g_face_brush = nullptr;

}  // namespace ratecalc
