#pragma once
// The program's settings key and the small registry operations every window uses.
// Registry errors are never reported: reads then give empty strings.

#include <windows.h>

#include <cstdint>
#include <string>

namespace pelindra {

// Registry operations of RegAccess.
enum RegOperation { RegNothing = 0, RegWrite = 1, RegRead = 2, RegDeleteKey = 9 };

// Writes (creating the key), reads (without creating; missing gives "") or deletes
// a key with its subkeys. An empty value name is the key's default value.
void RegAccess(HKEY root, int operation, const std::wstring& key, std::wstring& value, const std::wstring& name);

// The program's name as the shell shows its file, without the last 4 characters.
std::wstring ProgramName();
// "\Software\Tolvane\" + ProgramName under HKEY_CURRENT_USER.
std::wstring SettingsKey();
std::wstring ReadSetting(const std::wstring& name);
void WriteSetting(const std::wstring& name, const std::wstring& value);

// Root codes of ReadRegString besides real root keys.
constexpr std::uintptr_t RootClasses = 100, RootShellFolders = 200, RootWindows = 300, RootWindowsNT = 301;
std::wstring ReadRegString(std::uintptr_t root, const std::wstring& key, const std::wstring& name);

}  // namespace pelindra
