// What follows a loss: the schedule's growing waits and its one outage however often a
// server hangs up. The window's tests drive it against a server that goes and comes
// back; tools/hostile-server.sh against servers that hang up or reset every connection.

#include "connection/reconnect_schedule.h"

#include <QtTest>

namespace {

// The program's 2 s, 10 s and 10 s, shortened; working_ms long unless a test needs it.
Reconnect_schedule::Waits Short_waits(int working_ms = 600000)
{
    return {20, 100, working_ms};
}

} // namespace

class Tst_reconnect : public QObject
{
    Q_OBJECT
private slots:
    // A server that accepts and ends every connection, or refuses it: one outage, and
    // attempts at once, then after growing waits, which a short connection does not reset.
    void one_outage_and_growing_waits_however_often_a_server_hangs_up()
    {
        Reconnect_schedule schedule;
        schedule.Set_waits(Short_waits());
        QSignalSpy attempts(&schedule, &Reconnect_schedule::Attempt_due);
        QSignalSpy working(&schedule, &Reconnect_schedule::Working);
        schedule.Official_connect(QStringLiteral("timing-server"));
        schedule.Connected();
        QVERIFY(!schedule.Attempting());
        QVERIFY(schedule.Connection_lost()); // the loss begins the outage
        QVERIFY(!schedule.Running());        // off: a loss waits for the setting, which begins at once
        schedule.Set_enabled(true);
        QList<int> waits;
        for (int i = 0; i < 6 && attempts.wait(5000); ++i) {
            QVERIFY(schedule.Attempting());
            waits << schedule.Next_wait_ms();
            if (i % 2 == 0) { // accepted and closed at once; the other ones refused
                schedule.Connected();
                QVERIFY(!schedule.Connection_lost());
            }
            QVERIFY(schedule.Outage());
        }
        QCOMPARE(waits, (QList<int>{20, 40, 80, 100, 100, 100}));
        QCOMPARE(attempts.constFirst().constFirst().toString(), QStringLiteral("timing-server"));
        QVERIFY(working.isEmpty());

        // A whole line from the server ends the outage; its next loss begins another, but
        // is tried after the longest wait: a server that greets and hangs up is no storm.
        QVERIFY(attempts.wait(5000));
        schedule.Connected();
        schedule.Line_received();
        QCOMPARE(working.size(), 1);
        QVERIFY(!schedule.Outage());
        QVERIFY(schedule.Connection_lost());
        QCOMPARE(schedule.Next_wait_ms(), 100);

        // A connection that lasts works too, and the waits start again from nothing.
        schedule.Set_waits(Short_waits(50));
        QVERIFY(attempts.wait(5000));
        schedule.Connected();
        QVERIFY(working.wait(5000));
        QVERIFY(!schedule.Running() && schedule.Connection_lost());
        QCOMPARE(schedule.Next_wait_ms(), 0);
        QVERIFY(attempts.wait(5000));

        // The official takes over: nothing runs, and the official's own connection is
        // an outage of its own when it ends.
        schedule.Official_connect(QStringLiteral("timing-server"));
        QVERIFY(!schedule.Running() && !schedule.Attempting() && !schedule.Outage());
        schedule.Connected();
        QVERIFY(schedule.Connection_lost());
        QVERIFY(attempts.wait(5000));
        schedule.Official_disconnect();
        QVERIFY(!schedule.Running() && !schedule.Outage());
        QVERIFY(!schedule.Connection_lost()); // nothing to lose
    }
};

QTEST_GUILESS_MAIN(Tst_reconnect)
#include "tst_reconnect.moc"
