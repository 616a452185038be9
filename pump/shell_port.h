#pragma once
// What the DataPump needs of its window and platform. The Qt main window implements it; tests
// fake it. Nothing here is Qt.
#include <chrono>
#include <memory>
#include <string>

#include "tickers/new_ticker_form.h"

namespace tarnwick {

// The application-wide mouse pointer, by its classic values.
enum class MousePointer { Default = 0, Arrow = 1, Busy = 11 };

// One use of the Add New Ticker Symbol dialog: created (its fields at their initial contents),
// placed, shown modally, read and destroyed by the caller.
class NewTickerDialog {
  public:
    virtual ~NewTickerDialog() = default;
    // Top left corner of the dialog in screen coordinates, twips.
    virtual void PlaceAt(float leftTwips, float topTwips) = 0;
    // Returns when the dialog has hidden itself (OK with valid fields, Cancel, Esc, or a close
    // from the frame, which counts as Cancel).
    virtual void ShowModal() = 0;
    virtual bool CancelFlag() const = 0;
    virtual NewTickerFields Fields() const = 0;
};

class ShellPort {
  public:
    virtual ~ShellPort() = default;

    // The command channel field Text1. Setting its text raises its change event, which runs
    // DataPump::Text1_Change again (also when the text is set to the empty text).
    virtual std::string ChannelText() const = 0;
    virtual void SetChannelText(const std::string& text) = 0;

    // Panels of the status bar, numbered from 1.
    virtual void SetStatusPanelText(int panel, const std::string& text) = 0;

    // Timer1's enabled state (its 500 ms interval never changes).
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual bool TimerEnabled() const = 0;

    // Processes pending events until at least `duration` has elapsed since the call.
    virtual void ProcessEventsFor(std::chrono::milliseconds duration) = 0;

    // Closes the main window through its normal close path (which runs DataPump::Form_Unload and
    // ends the process). In the program this does not return.
    virtual void Unload() = 0;

    virtual void SetMousePointer(MousePointer pointer) = 0;
    virtual void SetRemoveEnabled(bool enabled) = 0;
    virtual void SetListEnabled(bool enabled) = 0;

    // The main window's outer top left corner in screen coordinates, twips.
    virtual float WindowLeftTwips() const = 0;
    virtual float WindowTopTwips() const = 0;

    // Creates a fresh Add New Ticker Symbol dialog (its Form_Load runs now).
    virtual std::unique_ptr<NewTickerDialog> CreateNewTickerDialog() = 0;

    // A modal warning box with one OK button.
    virtual void ShowWarning(const std::string& title, const std::string& message) = 0;

    // One line for the person running the pump (standard error in the program).
    virtual void Diagnostic(const std::string& line) = 0;
};

}  // namespace tarnwick
