// The millisecond clock text of the error reports: rounding, carries, the day wrap,
// negative readings and what stripping leaves; the clock every Start carries.
#include "core/shared/time_texts.h"

#include <QtTest>
#include <limits>

class Tst_time_texts : public QObject
{
    Q_OBJECT
private slots:
    void mill_time_data()
    {
        QTest::addColumn<qint32>("ms");
        QTest::addColumn<QString>("clear");
        QTest::addColumn<QString>("stripped");

        QTest::newRow("hours") << 3723456 << " 1:02:03,46" << "1:02:03,46";
        QTest::newRow("seconds") << 5300 << " 00:05,30" << "5,30";
        QTest::newRow("negative") << -61000 << "-01:01,00" << "-1:01,00";
        QTest::newRow("half to even down") << 5 << " 00:00,00" << "0,00";
        QTest::newRow("half to even up") << 15 << " 00:00,02" << "0,02";
        QTest::newRow("smallest 32-bit") << std::numeric_limits<qint32>::min() << "-20:31:23,65" << "-20:31:23,65";
        // Never 100 hundredths: 995..999 ms carry into the seconds, minutes, hours, the day wrap.
        QTest::newRow("carry to hours") << 3599997 << " 1:00:00,00" << "1:00:00,00";
        QTest::newRow("carry to the day wrap") << 86399999 << " 00:00,00" << "0,00";
    }

    void mill_time()
    {
        QFETCH(qint32, ms);
        QTEST(Display_Mill_Time(ms, false), "clear");
        QTEST(Display_Mill_Time(ms, true), "stripped");
    }

    // The local clock as Qt reads it, two digits each, in a zone whose offset is not whole
    // hours and in one behind UTC.
    void start_stamp_is_the_local_clock()
    {
        for (const char *zone : {"XYZ-5:45", "ABC+3"}) {
            qputenv("TZ", zone);
            const QString before = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
            const QString stamp = Time_Stamp();
            QVERIFY2(stamp == before || stamp == QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), qPrintable(stamp));
        }
    }
};

QTEST_GUILESS_MAIN(Tst_time_texts)
#include "tst_time_texts.moc"
