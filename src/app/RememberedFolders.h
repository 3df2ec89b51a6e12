// What the program remembers between runs, and where: the folder of the last file chosen in
// each of the two dialogs, a string value each under one registry key.
#pragma once

inline constexpr int kSettingsRoot = 0;  // HKEY_LOCAL_MACHINE
inline constexpr wchar_t kSettingsKey[] = L"Software\\Quorvane";
inline constexpr wchar_t kFolderOpenValue[] = L"FolderOpen";  // the folder of the last input file
inline constexpr wchar_t kFolderRecValue[] = L"FolderRec";    // the folder of the last destination file
