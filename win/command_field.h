#pragma once
// Text1, the command channel: a hidden multi-line edit control whose handle the host feed
// library gets. The host writes each command into it with WM_SETTEXT from its own process. A
// multi-line edit control sends no EN_CHANGE for WM_SETTEXT, so the control is subclassed and
// the change handler runs after every WM_SETTEXT, the program's own included.
//
// A command arriving while delivery is not allowed (the one-second pauses are nested as deep as
// allowed) is accepted at once, so the host's SendMessage returns, and waits in a queue; queued
// commands are delivered in arrival order as soon as delivery is allowed again, and a command
// that arrives while others wait joins the end of the queue.
#include <windows.h>

#include <deque>
#include <functional>
#include <string>

namespace tarnwick::win {

class CommandField {
  public:
    // Creates the control (hidden) with its initial text; no change is handled for that text.
    CommandField(HWND parent, int id, RECT place, const std::wstring& initialText);
    ~CommandField();
    CommandField(const CommandField&) = delete;
    CommandField& operator=(const CommandField&) = delete;

    HWND Handle() const { return edit_; }
    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    void SetMayDeliver(std::function<bool()> mayDeliver) { mayDeliver_ = std::move(mayDeliver); }

    std::wstring Text() const;
    // Sets the text and runs the change handler (also for the empty text).
    void SetText(const std::wstring& text);
    // Delivers queued commands while delivery is allowed.
    void DeliverPending();
    bool HasPending() const { return !queue_.empty(); }
    // Asks the message loop to deliver the queue (when the caller cannot do it now).
    void PostDeliver() const;
    // True while the control itself is storing a text (its own EN_CHANGE is then no news).
    bool Storing() const { return storing_ > 0; }

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR id, DWORD_PTR self);
    LRESULT Store(HWND window, LPARAM text);

    HWND edit_ = nullptr;
    std::deque<std::wstring> queue_;
    std::function<void()> onChange_;
    std::function<bool()> mayDeliver_;
    int storing_ = 0;
};

}  // namespace tarnwick::win
