#pragma once
// Paths and the program's own folder. The folder of a file is everything before its last
// separator, without a trailing separator: "/opt/t/tarnwick" gives "/opt/t", "/tarnwick" gives "",
// and on Windows "C:\tarnwick.exe" gives "C:" (the separator is "\", "/" is accepted too).
#include <string>

namespace tarnwick::platform {

#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

std::string FolderOf(const std::string& filePath);

// folder, one separator, name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The full path of the running program file (UTF-8); empty when the system cannot tell.
std::string ProgramFilePath();

}  // namespace tarnwick::platform
