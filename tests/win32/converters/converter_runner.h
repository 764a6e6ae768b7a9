#pragma once
// Runs a converter program the way Pelindra does: taken out of the resources
// of this executable, written to a folder and started hidden.

#include <windows.h>

#include <filesystem>
#include <string>

namespace pelindra::test {

// Writes the RCDATA resource to path; false when it is missing.
bool WriteResource(const wchar_t* name, const std::filesystem::path& path);

// Runs program with the parameters in folder and returns its exit code
// (-1 when it could not be started or did not end within a minute).
int RunProgram(const std::filesystem::path& program, const std::wstring& parameters);

std::string ReadText(const std::filesystem::path& path);

}  // namespace pelindra::test
