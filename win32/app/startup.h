#pragma once

#include <windows.h>

namespace vcl {
class TApplication;
}

namespace pelindra::app {

// Creates the program's eleven windows in their fixed order; the first is the main window.
void CreateForms(vcl::TApplication& application);
// Creates the windows and runs the message loop until the main window closes.
int RunProgram(HINSTANCE instance);

}  // namespace pelindra::app
