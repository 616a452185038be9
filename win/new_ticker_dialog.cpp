#include "win/new_ticker_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "tickers/new_ticker_form.h"

namespace tarnwick::win {

namespace {

enum ControlId : int {
    IdSymbol = 101,
    IdSymbolName,
    IdCategory,
    IdStartDate,
    IdBarInterval,
    IdLabel = 200,
};

// Design client size, twips.
constexpr float kClientWidth = 3975;
constexpr float kClientHeight = 2535;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// An empty dialog template: the controls are created at their twips places afterwards.
std::vector<WORD> EmptyTemplate() {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = kStyle;
    d->dwExtendedStyle = kExStyle;
    return t;  // no menu, default class, empty title (the three zero words)
}

}  // namespace

WinNewTickerDialog::WinNewTickerDialog(DialogServices services) : services_(std::move(services)) {
    const std::vector<WORD> dialogTemplate = EmptyTemplate();
    dialog_ = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
        services_.owner, &WinNewTickerDialog::Proc, reinterpret_cast<LPARAM>(this));
}

WinNewTickerDialog::~WinNewTickerDialog() {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
}

INT_PTR CALLBACK WinNewTickerDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<WinNewTickerDialog*>(lParam);
        self->dialog_ = window;
        self->CreateControls();
        self->Form_Load();
        return FALSE;  // the focus is placed when the dialog is shown
    }
    auto* self = reinterpret_cast<WinNewTickerDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
                self->OK_Click();
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
                self->Cancel_Click();
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            // Closing from the frame counts as Cancel.
            self->Cancel_Click();
            return TRUE;
        default:
            return FALSE;
    }
}

void WinNewTickerDialog::CreateControls() {
    const Twips& tw = services_.twips;
    RECT frame{0, 0, tw.Px(kClientWidth), tw.Px(kClientHeight)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(dialog_, Wide(std::string(NewTickerCaption)).c_str());

    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                    float left, float top, float width, float height) {
        HWND control = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style,
                                       tw.Px(left), tw.Px(top), tw.Px(width), tw.Px(height),
                                       dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(services_.font), FALSE);
        return control;
    };
    constexpr DWORD label = SS_LEFT;
    constexpr DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    // Created in tab order: each label's access key moves the focus to the field after it.
    make(L"STATIC", L"&Symbol:", label, 0, IdLabel + 0, 120, 120, 735, 255);
    make(L"EDIT", L"", edit, WS_EX_CLIENTEDGE, IdSymbol, 1080, 120, 855, 285);
    make(L"STATIC", L"&Name:", label, 0, IdLabel + 1, 120, 480, 735, 255);
    make(L"EDIT", L"", edit, WS_EX_CLIENTEDGE, IdSymbolName, 1080, 480, 2775, 285);
    make(L"STATIC", L"C&ategory:", label, 0, IdLabel + 2, 120, 840, 735, 255);
    // A drop-down list's window height includes its list; the closed box keeps the font's height.
    HWND category = make(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                         IdCategory, 1080, 840, 2775, 315 + 3000);
    SendMessageW(category, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), tw.Px(315) - 6);
    make(L"STATIC", L"Start &Date:", label, 0, IdLabel + 3, 120, 1215, 855, 255);
    make(L"EDIT", L"01/01/2003", edit, WS_EX_CLIENTEDGE, IdStartDate, 1080, 1215, 975, 285);
    make(L"STATIC", L"Bar Interval:", label, 0, IdLabel + 4, 120, 1560, 975, 255);
    make(L"EDIT", L"1", edit, WS_EX_CLIENTEDGE, IdBarInterval, 1080, 1560, 975, 285);
    make(L"BUTTON", L"&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, 120, 2040, 1815, 375);
    make(L"BUTTON", L"&Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, 2040, 2040, 1815, 375);
    SendMessageW(dialog_, DM_SETDEFID, IDOK, 0);
}

void WinNewTickerDialog::Form_Load() {
    cancelFlag_ = false;
    HWND category = GetDlgItem(dialog_, IdCategory);
    SendMessageW(category, CB_RESETCONTENT, 0, 0);
    for (std::string_view entry : TickerCategories)
        SendMessageW(category, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(std::string(entry)).c_str()));
    SendMessageW(category, CB_SETCURSEL, 0, 0);
    // The caller set the busy pointer before creating the dialog; these two end it.
    if (services_.setPointer) {
        services_.setPointer(MousePointer::Arrow);
        services_.setPointer(MousePointer::Default);
    }
}

void WinNewTickerDialog::PlaceAt(float leftTwips, float topTwips) {
    const Twips& tw = services_.twips;
    SetWindowPos(dialog_, nullptr, tw.Px(leftTwips), tw.Px(topTwips), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WinNewTickerDialog::ShowModal() {
    done_ = false;
    const bool ownerWasEnabled = services_.owner != nullptr && IsWindowEnabled(services_.owner);
    if (ownerWasEnabled) EnableWindow(services_.owner, FALSE);
    ShowWindow(dialog_, SW_SHOW);
    SetForegroundWindow(dialog_);
    SetFocus(GetDlgItem(dialog_, IdSymbol));
    services_.runModal(dialog_, done_);
    if (ownerWasEnabled) {
        // Enabled again before the dialog goes, so that the activation returns to the owner.
        EnableWindow(services_.owner, TRUE);
        SetActiveWindow(services_.owner);
    }
}

void WinNewTickerDialog::Hide() {
    done_ = true;
    ShowWindow(dialog_, SW_HIDE);
}

NewTickerFields WinNewTickerDialog::Fields() const {
    NewTickerFields f;
    f.Symbol = Utf8(WindowText(GetDlgItem(dialog_, IdSymbol)));
    f.SymbolName = Utf8(WindowText(GetDlgItem(dialog_, IdSymbolName)));
    f.Category = Utf8(WindowText(GetDlgItem(dialog_, IdCategory)));
    f.StartDate = Utf8(WindowText(GetDlgItem(dialog_, IdStartDate)));
    f.BarInterval = Utf8(WindowText(GetDlgItem(dialog_, IdBarInterval)));
    return f;
}

void WinNewTickerDialog::OK_Click() {
    if (auto message = ValidateNewTicker(Fields(), services_.locale)) {
        services_.warning(std::string(NewTickerCaption), *message);
        return;  // the dialog stays open, every field as the user left it
    }
    Hide();
}

void WinNewTickerDialog::Cancel_Click() {
    cancelFlag_ = true;
    Hide();
}

}  // namespace tarnwick::win
