#pragma once
// File associations with backup and restore of the earlier handlers, and the
// uninstall entries.

#include <string>
#include <vector>

namespace pelindra {

// The extensions the program handles, in the order they are registered at every start.
const std::vector<std::wstring>& AssociatedExtensions();

// The program was started with "UnInstall" as its first argument.
bool Uninstalling();

// Keeps the earlier handler of ext (open command, icon, drop target, play verb)
// in the settings, unless that handler is this program.
void BackupAssociation(const std::wstring& ext);
// Makes this program the handler of ext, or restores the kept handler when
// uninstalling. An empty icon means the program's own first icon.
void Associate(const std::wstring& ext, const std::wstring& icon = L"");

}  // namespace pelindra
