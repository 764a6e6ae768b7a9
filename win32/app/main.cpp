// Program entry: creates the windows and runs the message loop.

#include <windows.h>

#include "win32/app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return pelindra::app::RunProgram(instance); }
