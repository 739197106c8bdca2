// Connecting again by itself after a loss: the growing waits, to the official's host.
// The window's tests drive it against a server that goes and comes back.

#include "connection/reconnect_schedule.h"

#include <QtTest>

class Tst_reconnect : public QObject
{
    Q_OBJECT
private slots:
    void at_once_then_growing_waits_until_connected()
    {
        Reconnect_schedule schedule(nullptr, 20, 100); // the program's 2 s and 10 s, shortened
        QSignalSpy attempts(&schedule, &Reconnect_schedule::Attempt_due);
        schedule.Official_connect(QStringLiteral("timing-server"));
        schedule.Connected();
        schedule.Connection_lost();
        QVERIFY(!schedule.Running()); // off: a loss waits for the setting, which begins at once
        schedule.Set_enabled(true);
        QList<int> waits;
        while (waits.size() < 5 && attempts.wait(1000)) {
            waits << schedule.Next_wait_ms();
            schedule.Connection_lost(); // a refused attempt changes nothing
        }
        QCOMPARE(waits, (QList<int>{20, 40, 80, 100, 100}));
        QCOMPARE(attempts.constFirst().constFirst().toString(), QStringLiteral("timing-server"));
        schedule.Connected();
        QVERIFY(!schedule.Running());
    }
};

QTEST_GUILESS_MAIN(Tst_reconnect)
#include "tst_reconnect.moc"
