// Resource and control identifiers, shared by the .rc file and the code;
// written once, with the window templates.
#pragma once

#include "control_ids.h"
