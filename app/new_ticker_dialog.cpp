#include "app/new_ticker_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <utility>

#include "app/design_font.h"
#include "app/layout_rules.h"
#include "app/mouse_pointer.h"
#include "tickers/new_ticker_form.h"

namespace tarnwick {

namespace {

// Design positions in twips, converted at 15 twips per pixel.
void PlaceTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(
        PixelsFromTwips(static_cast<float>(left)), PixelsFromTwips(static_cast<float>(top)),
        PixelsFromTwips(static_cast<float>(width)), PixelsFromTwips(static_cast<float>(height)));
}

QLabel* MakeLabel(QWidget* parent, int index, const char* caption, int left, int top, int width,
                  int height) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QStringLiteral("Label1_%1").arg(index));
    PlaceTwips(label, left, top, width, height);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, int left, int top,
                    int width, int height) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    PlaceTwips(edit, left, top, width, height);
    return edit;
}

}  // namespace

DataPumpNewTicker::DataPumpNewTicker(DateLocale locale, WarningSeam warning, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      locale_(std::move(locale)),
      warning_(std::move(warning)) {
    setObjectName(QStringLiteral("DataPumpNewTicker"));
    setWindowTitle(QString::fromLatin1(NewTickerCaption.data(),
                                       static_cast<qsizetype>(NewTickerCaption.size())));
    setModal(true);
    setSizeGripEnabled(false);
    setFixedSize(PixelsFromTwips(3975), PixelsFromTwips(2535));
    ApplyDesignFont(*this);

    // Created in tab order; each label's access key moves the focus to the field after it.
    QLabel* l0 = MakeLabel(this, 0, "&Symbol:", 120, 120, 735, 255);
    symbol_ = MakeEdit(this, "Symbol", "", 1080, 120, 855, 285);
    QLabel* l1 = MakeLabel(this, 1, "&Name:", 120, 480, 735, 255);
    symbolName_ = MakeEdit(this, "SymbolName", "", 1080, 480, 2775, 285);
    QLabel* l2 = MakeLabel(this, 2, "C&ategory:", 120, 840, 735, 255);
    category_ = new QComboBox(this);
    category_->setObjectName(QStringLiteral("Category"));
    category_->setEditable(false);
    PlaceTwips(category_, 1080, 840, 2775, 315);
    QLabel* l3 = MakeLabel(this, 3, "Start &Date:", 120, 1215, 855, 255);
    startDate_ = MakeEdit(this, "StartDate", "01/01/2003", 1080, 1215, 975, 285);
    MakeLabel(this, 4, "Bar Interval:", 120, 1560, 975, 255);
    barInterval_ = MakeEdit(this, "BarInterval", "1", 1080, 1560, 975, 285);
    ok_ = new QPushButton(QStringLiteral("&OK"), this);
    ok_->setObjectName(QStringLiteral("OK"));
    PlaceTwips(ok_, 120, 2040, 1815, 375);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    PlaceTwips(cancel_, 2040, 2040, 1815, 375);

    // Fonts wider than the one the design was made for would clip captions and the date: a
    // label may grow into the gap before its field, and the date and interval fields may grow
    // to show a whole date. Places never change; only these widths can exceed the design.
    const int fieldLeft = PixelsFromTwips(1080);
    for (QLabel* label : findChildren<QLabel*>()) {
        const int room = fieldLeft - label->x() - 2;
        label->resize(std::max(label->width(), std::min(label->sizeHint().width(), room)),
                      label->height());
    }
    for (QLineEdit* edit : {startDate_, barInterval_}) {
        const int dateWidth = edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) +
                              12;  // frame and text margins
        edit->resize(std::max(edit->width(), dateWidth), edit->height());
    }

    l0->setBuddy(symbol_);
    l1->setBuddy(symbolName_);
    l2->setBuddy(category_);
    l3->setBuddy(startDate_);

    // OK is the default button (Enter); Cancel keeps Enter for itself while it has the focus
    // (autoDefault), and Esc reaches reject().
    ok_->setAutoDefault(true);
    ok_->setDefault(true);
    cancel_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &DataPumpNewTicker::OK_Click);
    connect(cancel_, &QPushButton::clicked, this, &DataPumpNewTicker::Cancel_Click);

    setTabOrder(symbol_, symbolName_);
    setTabOrder(symbolName_, category_);
    setTabOrder(category_, startDate_);
    setTabOrder(startDate_, barInterval_);
    setTabOrder(barInterval_, ok_);
    setTabOrder(ok_, cancel_);
    symbol_->setFocus(Qt::OtherFocusReason);

    Form_Load();
}

void DataPumpNewTicker::Form_Load() {
    cancelFlag_ = false;
    category_->clear();
    for (std::string_view entry : TickerCategories)
        category_->addItem(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())));
    category_->setCurrentIndex(0);
    ApplyMousePointer(MousePointer::Arrow);
    ApplyMousePointer(MousePointer::Default);
}

void DataPumpNewTicker::PlaceAt(float leftTwips, float topTwips) {
    // For a top-level window move() places the frame's top left corner.
    move(PixelsFromTwips(leftTwips), PixelsFromTwips(topTwips));
}

void DataPumpNewTicker::ShowModal() {
    symbol_->setFocus(Qt::OtherFocusReason);
    exec();
}

NewTickerFields DataPumpNewTicker::Fields() const {
    NewTickerFields f;
    f.Symbol = symbol_->text().toStdString();
    f.SymbolName = symbolName_->text().toStdString();
    f.Category = category_->currentText().toStdString();
    f.StartDate = startDate_->text().toStdString();
    f.BarInterval = barInterval_->text().toStdString();
    return f;
}

void DataPumpNewTicker::OK_Click() {
    if (const auto message = ValidateNewTicker(Fields(), locale_)) {
        const std::string title(NewTickerCaption);
        if (warning_) {
            warning_(title, *message);
        } else {
            QMessageBox::warning(this, QString::fromStdString(title),
                                 QString::fromStdString(*message), QMessageBox::Ok);
        }
        return;
    }
    accept();
}

void DataPumpNewTicker::Cancel_Click() {
    reject();
}

void DataPumpNewTicker::reject() {
    cancelFlag_ = true;
    QDialog::reject();
}

}  // namespace tarnwick
