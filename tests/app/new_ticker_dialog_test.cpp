// The Add New Ticker Symbol dialog: its controls and their places, tab order, initial contents,
// validation messages through the message seam, Enter, Esc and closing from the frame.
#include "app/new_ticker_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fixed_date_locales.h"
#include "tickers/new_ticker_form.h"

using tarnwick::DataPumpNewTicker;
using tarnwick::DateLocale;

namespace {

struct Warning {
    std::string title;
    std::string message;
};

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no child %s", name);
    return w;
}

}  // namespace

class NewTickerDialogTest : public QObject {
    Q_OBJECT

    std::vector<Warning> warnings;

    std::unique_ptr<DataPumpNewTicker> MakeDialog() {
        warnings.clear();
        return std::make_unique<DataPumpNewTicker>(
            tarnwick::EnUSLocale(), [this](const std::string& t, const std::string& m) {
                warnings.push_back({t, m});
            });
    }

  private slots:
    void captionSizeAndFrame() {
        auto d = MakeDialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("Add New Ticker Symbol"));
        QCOMPARE(d->size(), QSize(265, 169));  // 3975 x 2535 twips
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QVERIFY(d->isModal());
        QVERIFY(!(d->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(d->windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void controlsAtTheirDesignPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("Label1_0") << "Label1_0" << QRect(8, 8, 49, 17) << "&Symbol:";
        QTest::newRow("Symbol") << "Symbol" << QRect(72, 8, 57, 19) << "";
        QTest::newRow("Label1_1") << "Label1_1" << QRect(8, 32, 49, 17) << "&Name:";
        QTest::newRow("SymbolName") << "SymbolName" << QRect(72, 32, 185, 19) << "";
        QTest::newRow("Label1_2") << "Label1_2" << QRect(8, 56, 49, 17) << "C&ategory:";
        QTest::newRow("Category") << "Category" << QRect(72, 56, 185, 21)
                                  << "Miscellaneous Instrument";
        QTest::newRow("Label1_3") << "Label1_3" << QRect(8, 81, 57, 17) << "Start &Date:";
        QTest::newRow("StartDate") << "StartDate" << QRect(72, 81, 65, 19) << "01/01/2003";
        QTest::newRow("Label1_4") << "Label1_4" << QRect(8, 104, 65, 17) << "Bar Interval:";
        QTest::newRow("BarInterval") << "BarInterval" << QRect(72, 104, 65, 19) << "1";
        QTest::newRow("OK") << "OK" << QRect(8, 136, 121, 25) << "&OK";
        QTest::newRow("Cancel") << "Cancel" << QRect(136, 136, 121, 25) << "&Cancel";
    }

    void controlsAtTheirDesignPlaces() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto d = MakeDialog();
        QWidget* w = d->findChild<QWidget*>(name);
        QVERIFY(w != nullptr);
        // Places and heights as designed; a caption or date field may be wider than designed
        // when the font needs it.
        QCOMPARE(w->pos(), geometry.topLeft());
        QCOMPARE(w->height(), geometry.height());
        QVERIFY(w->width() >= geometry.width());
        if (!qobject_cast<QLabel*>(w) && name != "StartDate" && name != "BarInterval")
            QCOMPARE(w->width(), geometry.width());
        if (auto* label = qobject_cast<QLabel*>(w))
            QCOMPARE(label->text(), text);
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            QCOMPARE(edit->text(), text);
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            QCOMPARE(combo->currentText(), text);
        else if (auto* button = qobject_cast<QPushButton*>(w))
            QCOMPARE(button->text(), text);
    }

    void labelsLeadToTheirFields() {
        auto d = MakeDialog();
        QCOMPARE(Child<QLabel>(*d, "Label1_0")->buddy(), Child<QWidget>(*d, "Symbol"));
        QCOMPARE(Child<QLabel>(*d, "Label1_1")->buddy(), Child<QWidget>(*d, "SymbolName"));
        QCOMPARE(Child<QLabel>(*d, "Label1_2")->buddy(), Child<QWidget>(*d, "Category"));
        QCOMPARE(Child<QLabel>(*d, "Label1_3")->buddy(), Child<QWidget>(*d, "StartDate"));
    }

    void categoriesAreTheNineteenInOrderNotEditable() {
        for (int use = 0; use < 3; ++use) {  // every use starts afresh
            auto d = MakeDialog();
            auto* combo = Child<QComboBox>(*d, "Category");
            QVERIFY(!combo->isEditable());
            QCOMPARE(combo->count(), 19);
            for (int i = 0; i < 19; ++i) {
                const auto& entry = tarnwick::TickerCategories[static_cast<std::size_t>(i)];
                QCOMPARE(combo->itemText(i).toStdString(), std::string(entry));
            }
            QCOMPARE(combo->currentIndex(), 0);
        }
    }

    void tabOrderFollowsTheFields() {
        auto d = MakeDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        const char* order[] = {"Symbol",      "SymbolName", "Category", "StartDate",
                               "BarInterval", "OK",         "Cancel",   "Symbol"};
        QTRY_COMPARE(QApplication::focusWidget(), Child<QWidget>(*d, "Symbol"));
        for (int i = 1; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(order[i]));
        }
    }

    void freshFieldsAreTheInitialContents() {
        auto d = MakeDialog();
        const tarnwick::NewTickerFields f = d->Fields();
        QCOMPARE(f.Symbol, std::string());
        QCOMPARE(f.SymbolName, std::string());
        QCOMPARE(f.Category, std::string("Miscellaneous Instrument"));
        QCOMPARE(f.StartDate, std::string("01/01/2003"));
        QCOMPARE(f.BarInterval, std::string("1"));
        QVERIFY(!d->CancelFlag());
    }

    void okOnAFreshDialogShowsTheSymbolMessageAndStays() {
        auto d = MakeDialog();
        d->show();
        QTest::mouseClick(Child<QPushButton>(*d, "OK"), Qt::LeftButton);
        QCOMPARE(warnings.size(), std::size_t{1});
        QCOMPARE(warnings[0].title, std::string("Add New Ticker Symbol"));
        QCOMPARE(warnings[0].message,
                 std::string("You must enter a symbol to add a new ticker symbol."));
        QVERIFY(d->isVisible());
        QVERIFY(!d->CancelFlag());
    }

    void validationMessagesOneAtATime_data() {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << "ABC"
                                 << ""
                                 << "01/01/2003"
                                 << "1"
                                 << "You must enter a symbol name to add a new ticker symbol.";
        QTest::newRow("no date") << "ABC"
                                 << "Alpha"
                                 << ""
                                 << "1"
                                 << "You must enter a valid Start Date.";
        QTest::newRow("date and interval bad") << "ABC"
                                               << "Alpha"
                                               << "32/33/2003"
                                               << "x"
                                               << "You must enter a valid Start Date.";
        QTest::newRow("no interval") << "ABC"
                                     << "Alpha"
                                     << "01/01/2003"
                                     << ""
                                     << "You must enter a valid BarInterval.";
        QTest::newRow("letters") << "ABC"
                                 << "Alpha"
                                 << "01/01/2003"
                                 << "abc"
                                 << "You must enter a valid BarInterval.";
    }

    void validationMessagesOneAtATime() {
        QFETCH(QString, symbol);
        QFETCH(QString, name);
        QFETCH(QString, start);
        QFETCH(QString, interval);
        QFETCH(QString, message);
        auto d = MakeDialog();
        d->show();
        Child<QLineEdit>(*d, "Symbol")->setText(symbol);
        Child<QLineEdit>(*d, "SymbolName")->setText(name);
        Child<QLineEdit>(*d, "StartDate")->setText(start);
        Child<QLineEdit>(*d, "BarInterval")->setText(interval);
        d->OK_Click();
        QCOMPARE(warnings.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(warnings[0].message), message);
        QVERIFY(d->isVisible());
        // Every field stays as the user left it.
        QCOMPARE(Child<QLineEdit>(*d, "StartDate")->text(), start);
        QCOMPARE(Child<QLineEdit>(*d, "BarInterval")->text(), interval);
    }

    void enterInAFieldWithValidFieldsAccepts() {
        auto d = MakeDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        Child<QLineEdit>(*d, "Symbol")->setText("   ");
        Child<QLineEdit>(*d, "SymbolName")->setText(" ");
        Child<QComboBox>(*d, "Category")->setCurrentIndex(5);
        auto* interval = Child<QLineEdit>(*d, "BarInterval");
        interval->setText("-5");
        interval->setFocus();
        QTest::keyClick(interval, Qt::Key_Return);
        QVERIFY(warnings.empty());
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QVERIFY(!d->CancelFlag());
        const tarnwick::NewTickerFields f = d->Fields();
        QCOMPARE(f.Symbol, std::string("   "));  // exactly as typed, not trimmed
        QCOMPARE(f.SymbolName, std::string(" "));
        QCOMPARE(f.Category, std::string("Future"));
        QCOMPARE(f.BarInterval, std::string("-5"));
    }

    void enterOnCancelCancels() {
        auto d = MakeDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        auto* cancel = Child<QPushButton>(*d, "Cancel");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        QVERIFY(warnings.empty());
        QVERIFY(!d->isVisible());
        QVERIFY(d->CancelFlag());
    }

    void escapeCancelsWithoutValidating() {
        auto d = MakeDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        Child<QLineEdit>(*d, "StartDate")->setText("nonsense");
        QTest::keyClick(Child<QLineEdit>(*d, "StartDate"), Qt::Key_Escape);
        QVERIFY(warnings.empty());
        QVERIFY(!d->isVisible());
        QVERIFY(d->CancelFlag());
    }

    void closingFromTheFrameCountsAsCancel() {
        auto d = MakeDialog();
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        Child<QLineEdit>(*d, "Symbol")->setText("ABC");
        Child<QLineEdit>(*d, "SymbolName")->setText("Alpha");
        QVERIFY(d->close());
        QVERIFY(!d->isVisible());
        QVERIFY(d->CancelFlag());
        QCOMPARE(d->result(), int(QDialog::Rejected));
    }

    void showModalReturnsWhenTheDialogHides() {
        auto d = MakeDialog();
        d->PlaceAt(1500, 3000);
        bool sawModal = false;
        QTimer::singleShot(0, d.get(), [&] {
            sawModal = QApplication::activeModalWidget() == d.get();
            QTRY_COMPARE(QApplication::focusWidget(), Child<QWidget>(*d, "Symbol"));
            Child<QLineEdit>(*d, "Symbol")->setText("XYZ");
            Child<QLineEdit>(*d, "SymbolName")->setText("Xylo");
            QTest::mouseClick(Child<QPushButton>(*d, "OK"), Qt::LeftButton);
        });
        QTimer failSafe;
        failSafe.setSingleShot(true);
        connect(&failSafe, &QTimer::timeout, d.get(), [&] { d->done(QDialog::Rejected); });
        failSafe.start(20000);
        d->ShowModal();
        QVERIFY(sawModal);
        QVERIFY(!d->CancelFlag());
        QCOMPARE(d->Fields().Symbol, std::string("XYZ"));
        QCOMPARE(d->frameGeometry().topLeft(), QPoint(100, 200));
    }
};

QTEST_MAIN(NewTickerDialogTest)
#include "new_ticker_dialog_test.moc"
