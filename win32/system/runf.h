#pragma once
// The converter programs the program carries as resources: writing them out
// and running them.

#include <string>

namespace pelindra {

// Saves the named RCDATA resource of the program to path (overwriting); true
// when path exists afterwards. Errors are swallowed.
bool ExtractResource(const std::wstring& name, const std::wstring& path);

// Starts file through the shell with parameters and show mode (SW_HIDE ...). With
// wait, returns when the program has ended or the application is terminating,
// dispatching window messages meanwhile. Always returns 0.
int RunAndWait(const std::wstring& file, const std::wstring& parameters, int showMode, bool wait);

// Installs the plotter printer driver when it is missing. No driver is carried:
// drawings reach HPGL through the program's own metafile-to-HPGL conversion, so
// this installs nothing and writes no printer entries.
void SetPrinterDrv();

}  // namespace pelindra
