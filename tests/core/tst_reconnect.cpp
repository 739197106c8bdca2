// Connecting again by itself after a loss: when, to which host, and when never.
// The window's tests drive it against a server that goes and comes back.

#include "connection/reconnect_schedule.h"

#include <QtTest>

class Tst_reconnect : public QObject
{
    Q_OBJECT
private slots:
    void at_once_then_growing_waits_until_connected_or_the_official_takes_over()
    {
        Reconnect_schedule schedule(nullptr, 20, 100); // the program's 2 s and 10 s, shortened
        QSignalSpy attempts(&schedule, &Reconnect_schedule::Attempt_due);
        schedule.Set_enabled(true);
        schedule.Official_connect(QStringLiteral("timing-server"));
        schedule.Connection_lost(); // a refused Connect: nothing was lost
        schedule.Connected();
        schedule.Connection_lost();
        QList<int> waits;
        while (waits.size() < 5) {
            QVERIFY(attempts.wait(1000));
            waits << schedule.Next_wait_ms();
            schedule.Connection_lost(); // a refused attempt of its own changes nothing
        }
        QCOMPARE(waits, (QList<int>{20, 40, 80, 100, 100}));
        QCOMPARE(attempts.constFirst().constFirst().toString(), QStringLiteral("timing-server"));
        schedule.Connected();
        QVERIFY(!schedule.Running());

        // The official's Connect and Disconnect stop it; after a Disconnect nothing is lost.
        for (int official = 0; official < 2; ++official) {
            schedule.Connected();
            schedule.Connection_lost();
            QVERIFY(schedule.Running());
            official ? schedule.Official_disconnect() : schedule.Official_connect(QStringLiteral("timing-server"));
            QVERIFY(!schedule.Running());
        }
        schedule.Connection_lost();
        QVERIFY(!schedule.Running());

        // Off: a loss waits for the setting; turned on while lost, it begins at once.
        schedule.Set_enabled(false);
        schedule.Connected();
        schedule.Connection_lost();
        QVERIFY(!schedule.Running());
        attempts.clear();
        schedule.Set_enabled(true);
        QVERIFY(attempts.wait(1000));
        schedule.Set_enabled(false);
        QVERIFY(!schedule.Running());
    }
};

QTEST_GUILESS_MAIN(Tst_reconnect)
#include "tst_reconnect.moc"
