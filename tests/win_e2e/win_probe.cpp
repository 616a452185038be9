// win_probe.exe: looks at and pokes the running tarnwick.exe from another process, for the
// end-to-end tests under Wine. It finds the window through the handle that ORBFEED.DLL
// published (Text1's parent is the main window).
//   win_probe status          the two status bar panels, one per line
//   win_probe rows            the list view's row count
//   win_probe channel         the length of Text1's text in characters (0: the field is empty)
//   win_probe header N        screen x and y of the middle of column header N (1..5)
//   win_probe close           WM_CLOSE to the main window, as the close box sends it
//   win_probe add             shows the hidden Add button and clicks it (the dialog opens)
//   win_probe dialog S N D I  fills the open Add dialog's Symbol, Name, Start Date and Bar
//                             Interval, then presses OK
// Exit status 0, or 1 when the window (or dialog) is not there.
#include <windows.h>
// (after windows.h)
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "feedlib/win/channel_record.h"

namespace {

// The registered command field, Text1.
HWND Text1() {
    auto record = orbfeed::win::ChannelRecord::Open(false);
    if (!record) return nullptr;
    HWND text1 = reinterpret_cast<HWND>(static_cast<uintptr_t>(record->Channel().window));
    return text1 != nullptr && IsWindow(text1) ? text1 : nullptr;
}

HWND MainWindow() {
    HWND text1 = Text1();
    return text1 != nullptr ? GetParent(text1) : nullptr;
}

HWND Child(HWND parent, const wchar_t* cls, int index = 0) {
    HWND child = nullptr;
    for (int i = 0; i <= index; ++i) {
        child = FindWindowExW(parent, child, cls, nullptr);
        if (child == nullptr) return nullptr;
    }
    return child;
}

// SB_GETTEXTW across processes: the text goes through memory in the window's process.
std::wstring PanelText(HWND bar, int part) {
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return L"?";
    constexpr SIZE_T kBytes = 4096;
    void* remote = VirtualAllocEx(process, nullptr, kBytes, MEM_COMMIT, PAGE_READWRITE);
    std::wstring text(kBytes / sizeof(wchar_t), L'\0');
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
    SIZE_T got = 0;
    ReadProcessMemory(process, remote, text.data(), kBytes - sizeof(wchar_t), &got);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    text.resize(wcslen(text.c_str()));
    return text;
}

void PrintUtf8(const std::wstring& w) {
    char buffer[8192];
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    std::printf("%s\n", n > 0 ? buffer : "");
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    HWND main = MainWindow();
    if (main == nullptr) {
        std::fprintf(stderr, "win_probe: no tarnwick window\n");
        return 1;
    }
    HWND list = Child(main, WC_LISTVIEWW);
    if (command == L"status") {
        HWND bar = Child(main, STATUSCLASSNAMEW);
        PrintUtf8(PanelText(bar, 0));
        PrintUtf8(PanelText(bar, 1));
    } else if (command == L"rows") {
        std::printf("%d\n", static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    } else if (command == L"channel") {
        std::printf("%d\n", static_cast<int>(SendMessageW(Text1(), WM_GETTEXTLENGTH, 0, 0)));
    } else if (command == L"header" && argc == 3) {
        const int column = _wtoi(argv[2]);
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        RECT r;
        GetWindowRect(header, &r);
        int x = r.left;
        for (int c = 0; c < column - 1; ++c)
            x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
        x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column - 1, 0)) / 2;
        std::printf("%d %d\n", x, static_cast<int>((r.top + r.bottom) / 2));
    } else if (command == L"close") {
        PostMessageW(main, WM_CLOSE, 0, 0);
    } else if (command == L"add") {
        HWND add = FindWindowExW(main, nullptr, L"Button", L"&Add Symbol");
        if (add == nullptr) return 1;
        ShowWindow(add, SW_SHOW);
        PostMessageW(add, BM_CLICK, 0, 0);
    } else if (command == L"dialog" && argc == 6) {
        HWND dialog = FindWindowW(nullptr, L"Add New Ticker Symbol");
        if (dialog == nullptr) return 1;
        const int ids[4] = {101, 102, 104, 105};  // Symbol, SymbolName, StartDate, BarInterval
        for (int i = 0; i < 4; ++i)
            SendMessageW(GetDlgItem(dialog, ids[i]), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(argv[2 + i]));
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    } else {
        return 2;
    }
    LocalFree(argv);
    return 0;
}
