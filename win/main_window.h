#pragma once
// DataPump's window on Windows: owns the core's DataPump, forwards the window's messages to its
// handlers and gives it the window system through ShellPort. Controls sit at their design
// places (twips at the screen's DPI); the layout rules move them on WM_SIZE.
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "pump/data_pump.h"
#include "shell/pause_nesting.h"
#include "win/command_field.h"
#include "win/ticker_list_view.h"
#include "win/win_text.h"

namespace tarnwick::win {

class MainWindow final : public ShellPort {
  public:
    // Creates the window and its controls and runs its loading (Form_Load): the command channel
    // registered with the host, credentials asked for, the window centred, Timer1 running.
    MainWindow(HostFeed& feed, Clock& clock, DateLocale locale, std::string programFolder);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Shows the window and runs its messages; returns only if the message loop ends otherwise
    // than through the unload path (which ends the process).
    int Run();

    static constexpr UINT_PTR Timer1Id = 1;
    static constexpr UINT Timer1IntervalMs = 500;

    // ShellPort
    std::string ChannelText() const override;
    void SetChannelText(const std::string& text) override;
    void SetStatusPanelText(int panel, const std::string& text) override;
    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override { return timerOn_; }
    void ProcessEventsFor(std::chrono::milliseconds duration) override;
    void Unload() override;
    void SetMousePointer(MousePointer pointer) override;
    void SetRemoveEnabled(bool enabled) override;
    void SetListEnabled(bool enabled) override;
    float WindowLeftTwips() const override;
    float WindowTopTwips() const override;
    std::unique_ptr<NewTickerDialog> CreateNewTickerDialog() override;
    void ShowWarning(const std::string& title, const std::string& message) override;
    void Diagnostic(const std::string& line) override;

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Form_Load();
    void Form_Resize();
    // The one closing path: the close box, the unload command, the end of the session.
    void Close();
    // Dispatches one message (with dialog keys for the modal dialog, if one is up).
    void Dispatch(MSG& message);
    // Dispatches what is pending, until the queue is empty or the deadline has passed.
    void DispatchPending(std::chrono::steady_clock::time_point deadline);
    void RunModal(HWND dialog, const bool& done);
    bool DeliverAllowed() const { return !unloaded_ && pauses_.DeliverAllowed(); }
    HCURSOR PointerCursor() const;

    Twips twips_;
    DateLocale locale_;
    DataPump pump_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    std::unique_ptr<TickerListView> listView1_;
    HWND remove_ = nullptr;
    std::unique_ptr<CommandField> text1_;
    HWND add_ = nullptr;
    HWND statusBar1_ = nullptr;
    HWND modalDialog_ = nullptr;

    float minWidth_ = 0;  // MinWidth, twips
    float minHeight_ = 0;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool timerOn_ = false;
    bool listHadFocus_ = false;
    PauseNesting pauses_;  // the one-second pauses on the stack
    MousePointer pointer_ = MousePointer::Default;
};

}  // namespace tarnwick::win
