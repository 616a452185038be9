#pragma once
// A ShellPort that records what the DataPump asks of its window, for tests without a display.
#include <functional>
#include <string>
#include <vector>

#include "pump/data_pump.h"
#include "pump/shell_port.h"

namespace tarnwick::testing {

class FakeDialog : public NewTickerDialog {
  public:
    FakeDialog(std::vector<std::string>& log, NewTickerFields fields, bool cancel)
        : log_(log), fields_(std::move(fields)), cancel_(cancel) {
        log_.push_back("dialog created");
    }
    ~FakeDialog() override { log_.push_back("dialog destroyed"); }
    void PlaceAt(float left, float top) override {
        log_.push_back("dialog placed " + std::to_string(static_cast<int>(left)) + "," +
                       std::to_string(static_cast<int>(top)));
    }
    void ShowModal() override { log_.push_back("dialog shown"); }
    bool CancelFlag() const override { return cancel_; }
    NewTickerFields Fields() const override { return fields_; }

  private:
    std::vector<std::string>& log_;
    NewTickerFields fields_;
    bool cancel_;
};

class FakeShell : public ShellPort {
  public:
    DataPump* pump = nullptr;  // when set, a change of the channel text runs Text1_Change
    std::string channel;
    int channelWrites = 0;
    std::string panel1 = "UserID:";
    std::string panel2 = "Password:";
    bool timerEnabled = true;
    bool removeEnabled = false;
    bool listEnabled = true;
    int unloads = 0;
    int unloadStatus = -1;
    std::vector<std::string> log;  // pointer, dialog, pause, timer and list events in order
    std::vector<std::string> diagnostics;
    std::vector<std::string> warnings;
    // Runs inside every pause, once (e.g. to write a further command into the channel).
    std::function<void()> duringPause;
    // What the next dialog returns.
    NewTickerFields dialogFields;
    bool dialogCancels = false;
    float windowLeft = 1500;
    float windowTop = 3000;

    // Writes a command into the channel, as the host does.
    void Send(const std::string& text) { SetChannelText(text); }

    std::string ChannelText() const override { return channel; }
    void SetChannelText(const std::string& text) override {
        ++channelWrites;
        channel = text;
        if (pump) pump->Text1_Change();
    }
    void SetStatusPanelText(int panel, const std::string& text) override {
        (panel == 1 ? panel1 : panel2) = text;
        log.push_back("panel " + std::to_string(panel));
    }
    void SetTimerEnabled(bool enabled) override {
        timerEnabled = enabled;
        log.push_back(enabled ? "timer on" : "timer off");
    }
    bool TimerEnabled() const override { return timerEnabled; }
    void ProcessEventsFor(std::chrono::milliseconds d) override {
        log.push_back("pause " + std::to_string(d.count()));
        if (duringPause) {
            auto once = std::move(duringPause);
            duringPause = nullptr;
            once();
        }
    }
    void Unload() override {
        ++unloads;
        log.push_back("unload");
        if (pump) unloadStatus = pump->Form_Unload();
    }
    void SetMousePointer(MousePointer p) override {
        log.push_back("pointer " + std::to_string(static_cast<int>(p)));
    }
    void SetRemoveEnabled(bool enabled) override { removeEnabled = enabled; }
    void SetListEnabled(bool enabled) override {
        listEnabled = enabled;
        log.push_back(enabled ? "list on" : "list off");
    }
    float WindowLeftTwips() const override { return windowLeft; }
    float WindowTopTwips() const override { return windowTop; }
    std::unique_ptr<NewTickerDialog> CreateNewTickerDialog() override {
        return std::make_unique<FakeDialog>(log, dialogFields, dialogCancels);
    }
    void ShowWarning(const std::string& title, const std::string& message) override {
        warnings.push_back(title + ": " + message);
    }
    void Diagnostic(const std::string& line) override { diagnostics.push_back(line); }
};

}  // namespace tarnwick::testing
