// MainWindow's side of ShellPort: the channel text, status panels, Timer1, the one-second pause
// as a nested message loop, the mouse pointer, the dialog and messages.
#include <windows.h>
// (after windows.h)
#include <commctrl.h>

#include <cmath>

#include "win/main_window.h"
#include "win/new_ticker_dialog.h"

namespace tarnwick::win {

namespace {

// Standard error when the program has one (started from a console or with redirected output).
HANDLE ErrorOutput() {
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return nullptr;
    return GetFileType(h) == FILE_TYPE_UNKNOWN ? nullptr : h;
}

}  // namespace

std::string MainWindow::ChannelText() const {
    return Utf8(text1_->Text());
}

void MainWindow::SetChannelText(const std::string& text) {
    text1_->SetText(Wide(text));
}

void MainWindow::SetStatusPanelText(int panel, const std::string& text) {
    if (panel < 1 || panel > 2) return;
    SendMessageW(statusBar1_, SB_SETTEXTW, static_cast<WPARAM>(panel - 1),
                 reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void MainWindow::SetTimerEnabled(bool enabled) {
    timerOn_ = enabled;
    if (enabled)
        SetTimer(window_, Timer1Id, Timer1IntervalMs, nullptr);
    else
        KillTimer(window_, Timer1Id);
}

void MainWindow::Dispatch(MSG& message) {
    if (modalDialog_ != nullptr && IsDialogMessageW(modalDialog_, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void MainWindow::DispatchPending(std::chrono::steady_clock::time_point deadline) {
    MSG message;
    // PeekMessage also runs messages sent from other threads and processes (the host's
    // WM_SETTEXT), so commands that arrive during a pause are handled inside it.
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
        if (unloaded_ || std::chrono::steady_clock::now() >= deadline) return;
    }
}

void MainWindow::ProcessEventsFor(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    pauses_.Enter();
    // Commands already waiting when the pause begins are handled inside it, like those that
    // arrive during it.
    text1_->DeliverPending();
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline || unloaded_) break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        DispatchPending(deadline);
        text1_->DeliverPending();
    }
    // Commands held back at the nesting limit go on once a pause has returned.
    if (pauses_.Leave() && text1_->HasPending()) text1_->PostDeliver();
}

void MainWindow::RunModal(HWND dialog, const bool& done) {
    HWND outer = modalDialog_;
    modalDialog_ = dialog;
    MSG message;
    while (!done && !unloaded_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        Dispatch(message);
    }
    modalDialog_ = outer;
}

void MainWindow::Unload() {
    Close();
}

HCURSOR MainWindow::PointerCursor() const {
    switch (pointer_) {
        case MousePointer::Busy:
            return LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // IDC_WAIT
        case MousePointer::Arrow:
        case MousePointer::Default:
        default:
            return LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    }
}

void MainWindow::SetMousePointer(MousePointer pointer) {
    pointer_ = pointer;
    SetCursor(PointerCursor());
}

void MainWindow::SetRemoveEnabled(bool enabled) {
    EnableWindow(remove_, enabled ? TRUE : FALSE);
}

void MainWindow::SetListEnabled(bool enabled) {
    HWND list = listView1_->Handle();
    if (!enabled) {
        // Disabling a focused window drops the focus; the list gets it back afterwards.
        listHadFocus_ = GetFocus() == list;
        EnableWindow(list, FALSE);
        return;
    }
    EnableWindow(list, TRUE);
    if (listHadFocus_) SetFocus(list);
    listHadFocus_ = false;
}

float MainWindow::WindowLeftTwips() const {
    RECT r;
    GetWindowRect(window_, &r);
    return twips_.FromPx(r.left);
}

float MainWindow::WindowTopTwips() const {
    RECT r;
    GetWindowRect(window_, &r);
    return twips_.FromPx(r.top);
}

std::unique_ptr<NewTickerDialog> MainWindow::CreateNewTickerDialog() {
    DialogServices services;
    services.owner = window_;
    services.font = font_;
    services.twips = twips_;
    services.locale = locale_;
    services.runModal = [this](HWND dialog, const bool& done) { RunModal(dialog, done); };
    services.warning = [this](const std::string& title, const std::string& message) {
        ShowWarning(title, message);
    };
    services.setPointer = [this](MousePointer p) { SetMousePointer(p); };
    return std::make_unique<WinNewTickerDialog>(std::move(services));
}

void MainWindow::ShowWarning(const std::string& title, const std::string& message) {
    HWND owner = modalDialog_ != nullptr ? modalDialog_ : window_;
    MessageBoxW(owner, Wide(message).c_str(), Wide(title).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void MainWindow::Diagnostic(const std::string& line) {
    const std::string text = line + "\r\n";
    if (HANDLE err = ErrorOutput()) {
        DWORD written = 0;
        WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        OutputDebugStringW(Wide(text).c_str());
    }
}

}  // namespace tarnwick::win
