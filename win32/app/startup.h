#pragma once

#include <windows.h>

namespace pelindra::app {

// Creates the program's windows in their fixed order and runs the message loop.
int RunProgram(HINSTANCE instance);

}  // namespace pelindra::app
