// The list file's path and bytes; the writing itself is the platform's atomic replace.
#include "tickers/list_file.h"

#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/paths.h"

namespace tarnwick {

std::string ProgramFolderOf(const std::string& programFilePath) {
    return platform::FolderOf(programFilePath);
}

std::string ListFilePath(const std::string& programFolder) {
    return platform::JoinPath(programFolder, ListFileName);
}

std::string ListFileBytes(const TickerList& list) {
    std::string bytes;
    for (int row = 1; row <= list.EntryCount(); ++row) {
        const TickerEntry& e = list.EntryAt(row);
        bytes += e.Symbol;
        bytes += "!@#";
        bytes += e.Description;
        bytes += "!@#";
        bytes += e.Category;
        bytes += "!@#";
        bytes += e.StartDate;
        bytes += "!@#";
        bytes += e.BarInterval;
        bytes += "\r\n";
    }
    return bytes;
}

ListFileResult WriteListFile(const std::string& path, const TickerList& list) {
    // The texts go out in the system's 8-bit code page (UTF-8 on Linux: unchanged).
    const platform::ReplaceResult r =
        platform::ReplaceFileAtomically(path, platform::ToCodePage(ListFileBytes(list), {}));
    return {r.ok, r.error};
}

}  // namespace tarnwick
