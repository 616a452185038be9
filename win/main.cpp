// Main: the program's start on Windows. Loads the host's feed library (ORBFEED.DLL beside the
// program), creates the main window (whose loading registers Text1 with the library and asks for
// credentials) and runs its messages until the window's unloading ends the process.
#include <windows.h>
// (after windows.h)
#include <commctrl.h>

#include <exception>
#include <memory>
#include <string>

#include "host/loaded_host_feed.h"
#include "pricedata/feed_clock.h"
#include "tickers/list_file.h"
#include "win/main_window.h"
#include "win/win_text.h"
#include "win/windows_date_locale.h"

namespace {

std::string ProgramFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return tarnwick::win::Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

// A start-up failure: on standard error when the program has one, so that scripts see it and
// nobody has to click anything; otherwise in a message box.
int Fail(const std::string& message) {
    const std::string line = "tarnwick: " + message + "\r\n";
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err != nullptr && err != INVALID_HANDLE_VALUE && GetFileType(err) != FILE_TYPE_UNKNOWN) {
        DWORD written = 0;
        WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        MessageBoxW(nullptr, tarnwick::win::Wide(message).c_str(), L"Tarnwick",
                    MB_OK | MB_ICONERROR);
    }
    return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const std::string programFolder = tarnwick::ProgramFolderOf(ProgramFilePath());

    // The feed library first: without it there is no host to serve, and no window is shown.
    std::unique_ptr<tarnwick::LoadedHostFeed> feed;
    try {
        feed = tarnwick::LoadedHostFeed::Load(programFolder, "ORBFEED.DLL");
    } catch (const std::exception& e) {
        return Fail(e.what());
    }

    tarnwick::SystemClock clock;
    std::unique_ptr<tarnwick::win::MainWindow> window;
    try {
        window = std::make_unique<tarnwick::win::MainWindow>(
            *feed, clock, tarnwick::win::UserDateLocale(), programFolder);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return window->Run();
}
