// The user's date settings as read from Qt's locales.
#include "qtlocale/qt_date_locale.h"

#include <QTest>
#include <optional>

using tarnwick::DateLocale;

class QtDateLocaleTest : public QObject {
    Q_OBJECT

  private slots:
    void usEnglish() {
        const DateLocale l =
            tarnwick::DateLocaleFrom(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(l.DateOrder, DateLocale::Order::MonthDayYear);
        QCOMPARE(l.ShortDatePattern, std::string("M/d/yyyy"));  // Qt's M/d/yy widened
        QCOMPARE(l.MonthNames.size(), std::size_t{12});
        QCOMPARE(l.MonthNames[0], std::string("January"));
        QCOMPARE(l.ShortMonthNames[11], std::string("Dec"));
        QCOMPARE(l.AmText, std::string("AM"));
    }

    void germanAndBritish() {
        const DateLocale de = tarnwick::DateLocaleFrom(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(de.DateOrder, DateLocale::Order::DayMonthYear);
        QCOMPARE(de.ShortDatePattern, std::string("dd.MM.yyyy"));
        QCOMPARE(de.MonthNames[2], std::string("M\xc3\xa4rz"));
        const DateLocale gb =
            tarnwick::DateLocaleFrom(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(gb.DateOrder, DateLocale::Order::DayMonthYear);
        QCOMPARE(gb.ShortDatePattern, std::string("dd/MM/yyyy"));
    }

    void cAndPosixReadMonthFirst() {
        // QLocale::c() is what the system locale becomes under C, C.UTF-8 and POSIX.
        for (const QLocale& locale :
             {QLocale::c(), QLocale(QStringLiteral("C.UTF-8")), QLocale(QStringLiteral("POSIX"))}) {
            const DateLocale l = tarnwick::DateLocaleFrom(locale);
            QCOMPARE(l.DateOrder, DateLocale::Order::MonthDayYear);
            QCOMPARE(l.ShortDatePattern, std::string("M/d/yyyy"));
            QCOMPARE(tarnwick::ParseDateText("11/03/2026", l),
                     std::optional<double>(tarnwick::DayNumberOf(2026, 11, 3)));
        }
    }

    void yearFirst() {
        const DateLocale l = tarnwick::DateLocaleFrom(QLocale(QLocale::Swedish, QLocale::Sweden));
        QCOMPARE(l.DateOrder, DateLocale::Order::YearMonthDay);
    }

    void widenYear_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("widened");
        QTest::newRow("two digits") << "M/d/yy"
                                    << "M/d/yyyy";
        QTest::newRow("four stay") << "dd.MM.yyyy"
                                   << "dd.MM.yyyy";
        QTest::newRow("year first") << "yy-MM-dd"
                                    << "yyyy-MM-dd";
        QTest::newRow("quoted literal") << "d 'yy' M yy"
                                        << "d 'yy' M yyyy";
    }

    void widenYear() {
        QFETCH(QString, pattern);
        QFETCH(QString, widened);
        QCOMPARE(QString::fromStdString(tarnwick::WidenYear(pattern.toStdString())), widened);
    }
};

QTEST_GUILESS_MAIN(QtDateLocaleTest)
#include "qt_date_locale_test.moc"
