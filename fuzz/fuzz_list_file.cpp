// The ticker list and its file: rows of texts cut from the input (five texts a row, split at NUL
// bytes) go out as the texts joined by "!@#" with CR LF after each row, and the written file holds
// exactly those bytes, with no temporary file left behind. Sorting by a column from the input
// orders the rows and reports every row's new place.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "tickers/list_file.h"
#include "tickers/ticker_list.h"

using namespace tarnwick;
using tarnwick::fuzz::Printable;

namespace {

// One folder for the whole run, removed at exit.
class TempFolder {
  public:
    TempFolder() : path(tarnwick::fuzz::MakeTempFolder("tarnwick-fuzz-list")) {}
    ~TempFolder() {
        ::unlink(ListFilePath(path).c_str());
        ::rmdir(path.c_str());
    }
    std::string path;
};

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TempFolder folder;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    int sortColumn = 0;
    if (!input.empty()) {
        sortColumn = static_cast<unsigned char>(input[0]) % 7;  // 0 and 6: no sort
        input.remove_prefix(1);
    }

    std::vector<std::string> texts;
    for (;;) {
        const std::size_t cut = input.find('\0');
        texts.emplace_back(input.substr(0, cut));
        if (cut == std::string_view::npos) break;
        input.remove_prefix(cut + 1);
    }
    while (texts.size() % 5 != 0) texts.emplace_back();

    TickerList list;
    std::string expected;
    for (std::size_t i = 0; i < texts.size(); i += 5) {
        list.AppendEntry(
            TickerEntry{texts[i], texts[i + 1], texts[i + 2], texts[i + 3], texts[i + 4]});
        expected += texts[i] + "!@#" + texts[i + 1] + "!@#" + texts[i + 2] + "!@#" + texts[i + 3] +
                    "!@#" + texts[i + 4] + "\r\n";
    }
    FUZZ_CHECK(list.EntryCount() == static_cast<int>(texts.size() / 5),
               std::to_string(list.EntryCount()));
    const std::string bytes = ListFileBytes(list);
    FUZZ_CHECK(bytes == expected, Printable(bytes) + " instead of " + Printable(expected));

    const std::string path = ListFilePath(folder.path);
    const ListFileResult written = WriteListFile(path, list);
    FUZZ_CHECK(written.Ok, written.Error);
    const std::string back = ReadFile(path);
    FUZZ_CHECK(back == bytes, Printable(back) + " instead of " + Printable(bytes));
    const std::vector<std::string> entries = FolderEntries(folder.path);
    FUZZ_CHECK(entries.size() == 1 && entries[0] == ListFileName,
               "the folder holds " + std::to_string(entries.size()) + " entries");

    if (sortColumn >= ColumnSymbol && sortColumn <= ColumnBarInterval) {
        std::vector<TickerEntry> before;
        for (int row = 1; row <= list.EntryCount(); ++row) before.push_back(list.EntryAt(row));
        const SortOrder order = (size & 1) ? SortOrder::Descending : SortOrder::Ascending;
        const std::vector<int> newRowOf = list.SortEntries(sortColumn, order);
        FUZZ_CHECK(newRowOf.size() == before.size(), std::to_string(newRowOf.size()));
        std::vector<bool> taken(before.size() + 1, false);
        for (std::size_t i = 0; i < before.size(); ++i) {
            const int row = newRowOf[i];
            FUZZ_CHECK(
                row >= 1 && row <= list.EntryCount() && !taken[static_cast<std::size_t>(row)],
                "new row " + std::to_string(row));
            taken[static_cast<std::size_t>(row)] = true;
            FUZZ_CHECK(list.EntryAt(row) == before[i], "row " + std::to_string(i + 1) +
                                                           " moved to " + std::to_string(row) +
                                                           " but is not there");
        }
        for (int row = 2; row <= list.EntryCount(); ++row) {
            const int c = CompareListTexts(list.EntryAt(row - 1).Field(sortColumn),
                                           list.EntryAt(row).Field(sortColumn));
            FUZZ_CHECK(order == SortOrder::Ascending ? c <= 0 : c >= 0,
                       "rows " + std::to_string(row - 1) + " and " + std::to_string(row) +
                           " out of order");
        }
        // A row added in sorted mode lands at its sorted place, after equal rows.
        if (!list.IsFull()) {
            const int at = list.AppendEntry(before.empty() ? TickerEntry{} : before.front());
            FUZZ_CHECK(at >= 1 && at <= list.EntryCount(), std::to_string(at));
            if (at < list.EntryCount()) {
                const int c = CompareListTexts(list.EntryAt(at).Field(sortColumn),
                                               list.EntryAt(at + 1).Field(sortColumn));
                FUZZ_CHECK(order == SortOrder::Ascending ? c < 0 : c > 0,
                           "appended row " + std::to_string(at) + " not after equal rows");
            }
        }
    }
    return 0;
}
