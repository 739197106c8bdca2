// Time and date texts, and the millisecond clock text of the error reports.
#include "shared/time_texts.h"

#include <QtTest>
#include <limits>

class Tst_time_texts : public QObject
{
    Q_OBJECT
private slots:
    void stamps()
    {
        QCOMPARE(Time_Stamp(QTime(0, 0, 5)), QStringLiteral("00:00:05"));
        QCOMPARE(Time_Stamp(QTime(12, 0, 0)), QStringLiteral("12:00:00"));
        QCOMPARE(Time_Stamp(QTime(23, 59, 59)), QStringLiteral("23:59:59"));
        QCOMPARE(Date_Stamp(QDate(2017, 6, 2)), QStringLiteral("2017-06-02"));
        QCOMPARE(Date_Time_Stamp(QDateTime(QDate(2017, 6, 20), QTime(0, 48, 5))), QStringLiteral("2017-06-20 00:48:05"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(Time_Stamp()).hasMatch());
    }

    void mill_time_data()
    {
        QTest::addColumn<qint32>("ms");
        QTest::addColumn<QString>("clear");
        QTest::addColumn<QString>("stripped");

        QTest::newRow("hours") << 3723456 << " 1:02:03,46" << "1:02:03,46";
        QTest::newRow("seconds") << 5300 << " 00:05,30" << "5,30";
        QTest::newRow("negative") << -61000 << "-01:01,00" << "-1:01,00";
        QTest::newRow("zero") << 0 << " 00:00,00" << "0,00";
        QTest::newRow("one hour keeps all") << 3600000 << " 1:00:00,00" << "1:00:00,00";
        QTest::newRow("a day is zero") << 86400000 << " 00:00,00" << "0,00";
        QTest::newRow("days dropped") << 2 * 86400000 + 5300 << " 00:05,30" << "5,30";
        QTest::newRow("half to even down") << 5 << " 00:00,00" << "0,00";
        QTest::newRow("half to even up") << 15 << " 00:00,02" << "0,02";
        QTest::newRow("half to even 25") << 25 << " 00:00,02" << "0,02";
        QTest::newRow("tens of minutes") << 600000 << " 10:00,00" << "10:00,00";
        QTest::newRow("smallest 32-bit") << std::numeric_limits<qint32>::min() << "-20:31:23,65" << "-20:31:23,65";
    }

    void mill_time()
    {
        QFETCH(qint32, ms);
        QFETCH(QString, clear);
        QFETCH(QString, stripped);
        QCOMPARE(Display_Mill_Time(ms, false), clear);
        QCOMPARE(Display_Mill_Time(ms, true), stripped);
    }

    void mill_time_never_shows_100_hundredths()
    {
        // 995..999 ms carry into the seconds, and on into minutes, hours and the day wrap.
        QCOMPARE(Display_Mill_Time(999, true), QStringLiteral("1,00"));
        QCOMPARE(Display_Mill_Time(995, true), QStringLiteral("1,00"));
        QCOMPARE(Display_Mill_Time(59996, false), QStringLiteral(" 01:00,00"));
        QCOMPARE(Display_Mill_Time(3599997, false), QStringLiteral(" 1:00:00,00"));
        QCOMPARE(Display_Mill_Time(86399999, false), QStringLiteral(" 00:00,00"));
        for (qint32 ms = 0; ms < 200000; ms += 7)
            QVERIFY2(!Display_Mill_Time(ms, false).endsWith(QStringLiteral("100")), qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(Tst_time_texts)
#include "tst_time_texts.moc"
