#pragma once
// Answers to small system questions: folders, Windows version, path forms.

#include <string>

namespace pelindra {

std::wstring DesktopFolder();
// The product name of the running Windows ("Windows" when it cannot be read).
std::wstring OSName();
std::wstring WindowsDir();
// The Windows directory followed by "\Temp": the folder of all work files.
std::wstring TempFolder();
// The short (8.3) form of an existing path, else the path unchanged.
std::wstring ShortPath(const std::wstring& path);
// The shell's display name of a path, else the path unchanged.
std::wstring ShellDisplayName(const std::wstring& path);
// Removes the last "." and what follows it.
void StripExt(std::wstring& s);
// Replaces the extension; a "." is put in front of ext when it has none.
void ChangeExt(std::wstring& path, const std::wstring& ext);

// Parts of paths.
std::wstring ExtractFilePath(const std::wstring& path);  // folder with its final "\"
std::wstring ExtractFileName(const std::wstring& path);
std::wstring ExtractFileDir(const std::wstring& path);  // folder without the final "\"
std::wstring ExtractFileExt(const std::wstring& path);  // with the dot, or empty
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Deletes a file if it exists; failures are not reported.
void DelFile(const std::wstring& path);

}  // namespace pelindra
