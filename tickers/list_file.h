#pragma once
// The list file: every row of the ticker list as one line of five texts joined by "!@#" and
// ended by CR LF, written on close when the list changed.
#include <string>

#include "tickers/ticker_list.h"

namespace tarnwick {

inline constexpr const char* ListFileName = "Tarnwick List.DAT";

// The folder of the program file, without a trailing separator (the root folder "/" gives "",
// "C:\" on Windows gives "C:").
std::string ProgramFolderOf(const std::string& programFilePath);

// ProgramFolder, the system's path separator, and the list file's name.
std::string ListFilePath(const std::string& programFolder);

// The bytes of the list file for the list as it stands, in UTF-8.
std::string ListFileBytes(const TickerList& list);

struct ListFileResult {
    bool Ok = true;
    std::string Error;  // path and reason when !Ok
};

// Writes the file, in the system's 8-bit code page, through a temporary file in the same folder
// that replaces the old one in one step, so the old file stays whole whenever the new one cannot
// be written completely.
ListFileResult WriteListFile(const std::string& path, const TickerList& list);

}  // namespace tarnwick
