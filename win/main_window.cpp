#include "win/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "dates/calendar.h"
#include "shell/centring.h"
#include "shell/layout_rules.h"
#include "tickers/date_text.h"

namespace tarnwick::win {

namespace {

constexpr wchar_t kClassName[] = L"TarnwickDataPump";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr float kDesignClientWidth = 7485;
constexpr float kDesignClientHeight = 3630;

enum ControlId : int { IdListView1 = 1, IdRemove, IdText1, IdAdd, IdStatusBar1 };

// Text1's text at creation: four lines, each ended by CR LF.
constexpr wchar_t kText1Initial[] =
    L"Text1 - Used to receive \r\n"
    L"commands from the \r\n"
    L"datapump.  Hidden \r\n"
    L"when the program is run\r\n";

void RegisterClassOnce() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &wc)) return;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (wc.hIcon == nullptr) wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

}  // namespace

namespace {

std::runtime_error CreationFailed(const char* what) {
    return std::runtime_error("cannot create " + std::string(what) + " (Windows error " +
                              std::to_string(GetLastError()) + ")");
}

}  // namespace

MainWindow::MainWindow(HostFeed& feed, Clock& clock, DateLocale locale, std::string programFolder)
    : twips_(Twips::OfScreen()),
      locale_(locale),
      pump_(feed, clock, *this, std::move(locale), std::move(programFolder)) {
    RegisterClassOnce();
    RECT outer{0, 0, twips_.Px(kDesignClientWidth), twips_.Px(kDesignClientHeight)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    window_ = CreateWindowExW(0, kClassName, L"Tarnwick", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) throw CreationFailed("the main window");
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::Proc));
    CreateControls();
    // Without its command field the program could never hear the host: it must not register a
    // null handle with the library and run on deaf, so the start fails with a message instead.
    if (text1_->Handle() == nullptr) throw CreationFailed("the command field Text1");
    Form_Load();
}

MainWindow::~MainWindow() {
    KillTimer(window_, Timer1Id);
    listView1_.reset();
    text1_.reset();
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    if (font_ != nullptr) DeleteObject(font_);
}

void MainWindow::CreateControls() {
    // The classic dialog font, 8 points at the screen's DPI.
    font_ = CreateFontW(-MulDiv(8, twips_.Dpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg");
    auto button = [&](const wchar_t* caption, int id, float left, float top, DWORD extra) {
        HWND b = CreateWindowExW(
            0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | extra,
            twips_.Px(left), twips_.Px(top), twips_.Px(2175), twips_.Px(375), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return b;
    };

    // In tab order.
    listView1_ =
        std::make_unique<TickerListView>(window_, IdListView1, pump_.List(), twips_, font_);
    // The last day of a year, in the host's usual form and in the locale's short form (the form
    // a Start Date sort writes), must fit its column.
    listView1_->FitColumns(
        4, {L"12/31/2026", Wide(ShortDateText(DayNumberOf(2026, 12, 31), locale_))});
    listView1_->SetOnRelease([this] { pump_.ListView1_KeyUp(); },
                             [this] { pump_.ListView1_MouseUp(); });
    listView1_->SetOnColumnClick([this](int column) {
        pump_.ListView1_ColumnClick(column);
        listView1_->ShowSortArrow();
    });
    remove_ = button(L"&Remove Symbol(s)", IdRemove, 2400, 2640, WS_DISABLED);
    RECT text1Place{twips_.Px(4800), twips_.Px(120), twips_.Px(4800 + 2355), twips_.Px(120 + 1005)};
    text1_ = std::make_unique<CommandField>(window_, IdText1, text1Place, kText1Initial);
    text1_->SetMayDeliver([this] { return DeliverAllowed(); });
    text1_->SetOnChange([this] {
        if (!unloaded_) pump_.Text1_Change();
    });
    add_ = button(L"&Add Symbol", IdAdd, 120, 2640, 0);
    statusBar1_ =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdStatusBar1)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(statusBar1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    int parts[2] = {twips_.Px(kDesignClientWidth / 2), -1};
    SendMessageW(statusBar1_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    SendMessageW(statusBar1_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"UserID:"));
    SendMessageW(statusBar1_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L"Password:"));
}

void MainWindow::Form_Load() {
    // The price, SetDataFeedhwnd with Text1's handle, RequireUserIDPassword.
    pump_.Form_Load(static_cast<int32_t>(reinterpret_cast<uintptr_t>(text1_->Handle())));

    // The outer size, frame included: known before the first show on Windows.
    RECT outer;
    GetWindowRect(window_, &outer);

    // The loaded size is the minimum; the window is centred on the screen.
    const LoadPlacement place = PlaceOnLoad(
        twips_.FromPx(outer.right - outer.left), twips_.FromPx(outer.bottom - outer.top),
        twips_.FromPx(GetSystemMetrics(SM_CXSCREEN)), twips_.FromPx(GetSystemMetrics(SM_CYSCREEN)));
    minWidth_ = place.minWidth;
    minHeight_ = place.minHeight;
    SetWindowPos(window_, nullptr, twips_.Px(place.left), twips_.Px(place.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    loaded_ = true;
    SetTimerEnabled(true);
}

void MainWindow::Form_Resize() {
    if (!loaded_ || unloaded_) return;
    LayoutInput in;
    RECT outer;
    GetWindowRect(window_, &outer);
    in.outerWidth = twips_.FromPx(outer.right - outer.left);
    in.outerHeight = twips_.FromPx(outer.bottom - outer.top);
    in.minWidth = minWidth_;
    in.minHeight = minHeight_;
    in.state = IsIconic(window_)   ? WindowShowState::Minimized
               : IsZoomed(window_) ? WindowShowState::Maximized
                                   : WindowShowState::Normal;
    const auto r = FormResize(in);
    if (!r) return;
    if (r->widthCorrected || r->heightCorrected) {
        // Raises a nested pass with the corrected size; this pass goes on with that size too.
        SetWindowPos(window_, nullptr, 0, 0, twips_.Px(r->outerWidth), twips_.Px(r->outerHeight),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Positions are relative to the client area; the twips of the design are too.
    MoveWindow(listView1_->Handle(), twips_.Px(ListLeftTwips), twips_.Px(ListTopTwips),
               std::max(0, twips_.Px(r->listWidth)), std::max(0, twips_.Px(r->listHeight)), TRUE);
    if (r->hideStatusBar) ShowWindow(statusBar1_, SW_HIDE);
    SetWindowPos(add_, nullptr, twips_.Px(120), twips_.Px(r->addTop), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(remove_, nullptr, twips_.Px(2400), twips_.Px(r->removeTop), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (r->hideAdd) ShowWindow(add_, SW_HIDE);
    if (r->hideRemove) ShowWindow(remove_, SW_HIDE);
}

LRESULT CALLBACK MainWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (wParam == SIZE_RESTORED) Form_Resize();
            SendMessageW(statusBar1_, WM_SIZE, 0, 0);
            return 0;
        case WM_GETMINMAXINFO:
            if (loaded_) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize.x = twips_.Px(minWidth_);
                info->ptMinTrackSize.y = twips_.Px(minHeight_);
            }
            return 0;
        case WM_TIMER:
            if (wParam == Timer1Id && timerOn_ && !unloaded_) pump_.Timer1_Timer();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IdAdd) {
                pump_.Add_Click();
            } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IdRemove) {
                pump_.Remove_Click();
            } else if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == IdText1 &&
                       !text1_->Storing() && !unloaded_) {
                pump_.Text1_Change();  // a change other than WM_SETTEXT
            }
            return 0;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == listView1_->Handle()) return listView1_->OnNotify(header);
            return 0;
        }
        case WM_SETCURSOR:
            if (pointer_ != MousePointer::Default && LOWORD(lParam) == HTCLIENT) {
                SetCursor(PointerCursor());
                return TRUE;
            }
            break;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != 0) Close();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::Close() {
    // The close is never refused; Form_Unload runs once.
    if (unloaded_) return;
    unloaded_ = true;
    SetTimerEnabled(false);
    const int status = pump_.Form_Unload();
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(status));
}

int MainWindow::Run() {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    SetFocus(listView1_->Handle());
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
    return static_cast<int>(message.wParam);
}

}  // namespace tarnwick::win
