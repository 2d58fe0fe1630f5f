#include "app_state.h"

namespace ratecalc {

HINSTANCE Instance = nullptr;
RateModel Model;
HBRUSH FaceBrush = nullptr;

}  // namespace ratecalc
