#pragma once
// DataPumpNewTicker, the Add New Ticker Symbol dialog: shows the five fields, validates them on
// OK through the core's rules and tells its caller whether the user cancelled.
#include <QDialog>
#include <functional>
#include <string>

#include "pump/shell_port.h"
#include "tickers/date_text.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick {

// Shows a modal warning: title, message.
using WarningSeam = std::function<void(const std::string&, const std::string&)>;

class DataPumpNewTicker final : public QDialog, public NewTickerDialog {
    Q_OBJECT
  public:
    // warning: how a validation message is shown; empty means a QMessageBox with one OK button.
    DataPumpNewTicker(DateLocale locale, WarningSeam warning, QWidget* parent = nullptr);

    void PlaceAt(float leftTwips, float topTwips) override;
    void ShowModal() override;
    bool CancelFlag() const override { return cancelFlag_; }
    NewTickerFields Fields() const override;

    // Esc, the Cancel button and a close from the frame all come here.
    void reject() override;

    void OK_Click();
    void Cancel_Click();

  private:
    void Form_Load();

    DateLocale locale_;
    WarningSeam warning_;
    bool cancelFlag_ = false;

    QLineEdit* symbol_ = nullptr;
    QLineEdit* symbolName_ = nullptr;
    QComboBox* category_ = nullptr;
    QLineEdit* startDate_ = nullptr;
    QLineEdit* barInterval_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace tarnwick
