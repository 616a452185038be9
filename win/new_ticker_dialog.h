#pragma once
// DataPumpNewTicker on Windows: the Add New Ticker Symbol dialog, a fixed dialog frame whose
// controls sit at their design places in twips. Its validation is the core's; this class shows,
// reads and runs the dialog's modal loop through the main window's message pump.
#include <windows.h>

#include <functional>
#include <string>

#include "pump/shell_port.h"
#include "tickers/date_text.h"
#include "win/win_text.h"

namespace tarnwick::win {

struct DialogServices {
    HWND owner = nullptr;
    HFONT font = nullptr;
    Twips twips{96};
    DateLocale locale;
    // Runs the message loop, with dialog keys for the given window, until done is true.
    std::function<void(HWND dialog, const bool& done)> runModal;
    std::function<void(const std::string& title, const std::string& message)> warning;
    std::function<void(MousePointer)> setPointer;
};

class WinNewTickerDialog final : public NewTickerDialog {
  public:
    // Creates the dialog hidden; its Form_Load runs now.
    explicit WinNewTickerDialog(DialogServices services);
    ~WinNewTickerDialog() override;
    WinNewTickerDialog(const WinNewTickerDialog&) = delete;
    WinNewTickerDialog& operator=(const WinNewTickerDialog&) = delete;

    void PlaceAt(float leftTwips, float topTwips) override;
    void ShowModal() override;
    bool CancelFlag() const override { return cancelFlag_; }
    NewTickerFields Fields() const override;

    HWND Handle() const { return dialog_; }

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Form_Load();
    void CreateControls();
    void OK_Click();
    void Cancel_Click();
    void Hide();

    DialogServices services_;
    HWND dialog_ = nullptr;
    bool cancelFlag_ = false;
    bool done_ = false;
};

}  // namespace tarnwick::win
