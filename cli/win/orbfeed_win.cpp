// orbfeed.exe: the host's side of the Windows stand-in, for trying the pump out and for tests.
// It finds the command window that the pump registered with ORBFEED.DLL and writes command texts
// into it with WM_SETTEXT, from its own process, as the host does.
//
//   orbfeed send TEXT                  one command text
//   orbfeed send --file F              the contents of F (ANSI code page bytes) as one command
//   orbfeed unload                     the unload command; waits until the pump has ended
//   orbfeed credentials --user U --password P [--replace]
//                                      hands the pump's library these credentials, then sends
//                                      the credentials command so that the pump fetches them;
//                                      --replace: the library hands them over as strings of its
//                                      own in place of the pump's (else it writes into those)
// Exit status: 0 done, 1 no registered pump or not delivered, 2 wrong usage.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "feedlib/win/channel_record.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr DWORD kUnloadTimeoutMs = 30000;

void Error(const std::string& message) {
    std::fprintf(stderr, "orbfeed: %s\n", message.c_str());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: orbfeed send TEXT\n"
                 "       orbfeed send --file FILE\n"
                 "       orbfeed unload\n"
                 "       orbfeed credentials --user USER --password PASSWORD [--replace]\n");
    return kExitUsage;
}

std::string Narrow(const std::wstring& w, UINT codePage) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring Widen(const std::string& s, UINT codePage) {
    if (s.empty()) return {};
    const int n =
        MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

// The registered pump's window, or nothing (with a message) when no pump is registered.
std::optional<HWND> PumpWindow(orbfeed::win::ChannelRecord* record) {
    if (record != nullptr) {
        const auto channel = record->Channel();
        HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(channel.window));
        if (channel.window != 0 && IsWindow(window)) return window;
    }
    Error("no registered pump: start tarnwick.exe beside ORBFEED.DLL first");
    return std::nullopt;
}

int SendText(HWND window, const std::wstring& text) {
    if (text.find(L'\0') != std::wstring::npos) {
        Error(
            "the text contains a NUL character, which would end the command early; nothing "
            "sent");
        return kExitFailed;
    }
    // Returns once the pump has taken the text (its handler has run), like the host's own write.
    SetLastError(0);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (!IsWindow(window) && text != L"*****UnloadEXE*****") {
        Error("the pump went away before taking the text");
        return kExitFailed;
    }
    return kExitOk;
}

int Unload(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    SendText(window, L"*****UnloadEXE*****");
    if (process == nullptr) return kExitOk;
    const DWORD waited = WaitForSingleObject(process, kUnloadTimeoutMs);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
        Error("the pump took the unload command but is still running after 30 s");
        return kExitFailed;
    }
    return kExitOk;
}

bool ReadFileBytes(const std::wstring& path, std::string& out) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argvW = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argvW[i]);
    LocalFree(argvW);
    if (args.empty()) return Usage();

    auto record = orbfeed::win::ChannelRecord::Open(false);
    const std::wstring& command = args[0];
    if (command == L"send") {
        std::wstring text;
        if (args.size() == 2) {
            text = args[1];
        } else if (args.size() == 3 && args[1] == L"--file") {
            std::string bytes;
            if (!ReadFileBytes(args[2], bytes)) {
                Error("cannot read " + Narrow(args[2], CP_ACP));
                return kExitFailed;
            }
            text = Widen(bytes, CP_ACP);
        } else {
            return Usage();
        }
        auto window = PumpWindow(record.get());
        return window ? SendText(*window, text) : kExitFailed;
    }
    if (command == L"unload" && args.size() == 1) {
        auto window = PumpWindow(record.get());
        return window ? Unload(*window) : kExitFailed;
    }
    const bool replace = args.size() == 6 && args[5] == L"--replace";
    if (command == L"credentials" && (args.size() == 5 || replace) && args[1] == L"--user" &&
        args[3] == L"--password") {
        auto window = PumpWindow(record.get());
        if (!window) return kExitFailed;
        record->SetCredentials({Narrow(args[2], CP_ACP), Narrow(args[4], CP_ACP), replace});
        return SendText(*window, L"*****UserIDPassword*****");
    }
    return Usage();
}
