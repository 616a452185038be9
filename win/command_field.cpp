#include "win/command_field.h"

#include <commctrl.h>

#include "win/win_text.h"

namespace tarnwick::win {

namespace {
constexpr UINT kDeliverMessage = WM_APP + 1;
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

CommandField::CommandField(HWND parent, int id, RECT place, const std::wstring& initialText) {
    // Multi-line, but without word wrap (ES_AUTOHSCROLL): a wrapping edit control lays out every
    // line anew as it stores a text, which grows faster than the text (under Wine a 64 KiB
    // command took about 40 s, with no timer event meanwhile); unwrapped, lines break only at
    // CR LF and a 1 MiB command is stored in a fraction of a second.
    edit_ = CreateWindowExW(
        0, L"EDIT", initialText.c_str(),
        WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN, place.left,
        place.top, place.right - place.left, place.bottom - place.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    // Long commands must fit: the default limit of an edit control is 32K characters.
    SendMessageW(edit_, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    SetWindowSubclass(edit_, &CommandField::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

CommandField::~CommandField() {
    if (edit_ != nullptr) RemoveWindowSubclass(edit_, &CommandField::Proc, kSubclassId);
}

std::wstring CommandField::Text() const {
    return WindowText(edit_);
}

void CommandField::SetText(const std::wstring& text) {
    SendMessageW(edit_, kDeliverMessage, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void CommandField::DeliverPending() {
    if (!queue_.empty()) SendMessageW(edit_, kDeliverMessage, 0, 0);
}

void CommandField::PostDeliver() const {
    PostMessageW(edit_, kDeliverMessage, 0, 0);
}

// Stores a text through the edit control's own WM_SETTEXT, then runs the change handler.
LRESULT CommandField::Store(HWND window, LPARAM text) {
    ++storing_;
    const LRESULT result = DefSubclassProc(window, WM_SETTEXT, 0, text);
    --storing_;
    if (onChange_) onChange_();
    return result;
}

LRESULT CALLBACK CommandField::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR selfPtr) {
    auto* self = reinterpret_cast<CommandField*>(selfPtr);
    switch (message) {
        case WM_SETTEXT: {
            // A text from outside (the host): handled now, or queued behind earlier commands.
            const bool allowed = !self->mayDeliver_ || self->mayDeliver_();
            if (self->queue_.empty() && allowed) return self->Store(window, lParam);
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            self->queue_.emplace_back(text != nullptr ? text : L"");
            if (allowed) self->PostDeliver();
            return TRUE;
        }
        case kDeliverMessage:
            if (wParam == 1) return self->Store(window, lParam);  // the program's own text
            while (!self->queue_.empty() && (!self->mayDeliver_ || self->mayDeliver_())) {
                const std::wstring text = std::move(self->queue_.front());
                self->queue_.pop_front();
                self->Store(window, reinterpret_cast<LPARAM>(text.c_str()));
            }
            return 0;
        default:
            return DefSubclassProc(window, message, wParam, lParam);
    }
}

}  // namespace tarnwick::win
