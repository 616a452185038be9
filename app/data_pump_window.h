#pragma once
// DataPump's window: owns the core's DataPump, forwards the window's events to its handlers and
// gives it the window system through ShellPort. Controls are placed at their design positions
// (twips converted at 15 per pixel) without Qt layouts; the layout rules move them on resize.
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/new_ticker_dialog.h"
#include "pump/data_pump.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;

namespace tarnwick {

class CommandChannel;
class CommandField;
class TickerListModel;
class TickerListView;

class DataPumpWindow final : public QWidget, public ShellPort {
    Q_OBJECT
  public:
    // Builds the window and runs its loading (Form_Load): the command channel is created and
    // registered with the host, credentials are asked for, the window is centred and Timer1 runs.
    DataPumpWindow(HostFeed& feed, Clock& clock, DateLocale locale, std::string programFolder,
                   QWidget* parent = nullptr);
    ~DataPumpWindow() override;

    // How the process ends once the window has unloaded; receives the exit status. The default
    // flushes and calls std::exit. Tests replace it so that the test process lives on.
    void SetEndProcess(std::function<void(int)> endProcess) { endProcess_ = std::move(endProcess); }
    // How ShowWarning (and the dialog's validation messages) reach the user. Empty: QMessageBox.
    void SetWarningSeam(WarningSeam warning) { warning_ = std::move(warning); }

    DataPump& Pump() { return pump_; }
    bool Unloaded() const { return unloaded_; }
    float MinWidth() const { return minWidth_; }
    float MinHeight() const { return minHeight_; }
    int PauseDepth() const { return pauseDepth_; }

    // Commands are not delivered from the channel while this many pauses are nested; they wait
    // in the channel's buffer until an inner pause has returned (see DeliverAllowed).
    static constexpr int MaxPauseNesting = 8;

    // ShellPort
    std::string ChannelText() const override;
    void SetChannelText(const std::string& text) override;
    void SetStatusPanelText(int panel, const std::string& text) override;
    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override;
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

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void Form_Load();
    void Form_Resize();
    void OnColumnClicked(int section);
    void OnSelectionChanged();
    void ShowSortIndicator();
    bool DeliverAllowed() const;

    DateLocale locale_;
    DataPump pump_;

    CommandChannel* channel_ = nullptr;
    TickerListModel* model_ = nullptr;
    TickerListView* listView1_ = nullptr;
    QPushButton* remove_ = nullptr;
    CommandField* text1_ = nullptr;
    QPushButton* add_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    QLabel* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    QTimer* timer1_ = nullptr;

    float minWidth_ = 0;   // MinWidth, twips
    float minHeight_ = 0;  // MinHeight, twips
    int pauseDepth_ = 0;
    bool unloaded_ = false;
    bool listHadFocus_ = false;  // the list had the focus when SetListEnabled(false) disabled it
    std::function<void(int)> endProcess_;
    WarningSeam warning_;
};

}  // namespace tarnwick
