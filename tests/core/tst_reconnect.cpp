// What follows a loss: the schedule's growing waits and its one outage however often a
// server hangs up, and the journal's folding of the failed attempts. The window's tests
// drive them against a server that goes and comes back; tools/hostile-server.sh against
// servers that hang up or reset every connection.

#include "connection/reconnect_schedule.h"
#include "journal/attempt_fold.h"

#include <QtTest>

namespace {

// The program's 2 s, 10 s and 10 s, shortened; working_ms long unless a test needs it.
Reconnect_schedule::Waits Short_waits(int working_ms = 600000)
{
    return {20, 100, working_ms};
}

// What the fold writes, as the journal would, and its size.
struct Fold_output
{
    Attempt_fold fold{[this](const Journal_line &line) { Add(line); }, 10000};
    QStringList lines; // "<seconds> <event> <details>"
    qint64 bytes = 0;
    void Add(const Journal_line &line)
    {
        const QString text = QStringList{QString::number(line.time / 1000), line.event, line.details.join(' ')}.join(' ');
        lines << text.trimmed();
        bytes += 24 + 1 + line.event.size() + 1 + line.details.join('\t').toUtf8().size() + 2; // time, tabs, CR LF
    }
    // An attempt at second s that connects and is closed at once by the server.
    void Hung_up(qint64 s)
    {
        fold.Connect({s * 1000, QStringLiteral("connect"), {QStringLiteral("192.168.1.20")}});
        fold.Connected({s * 1000 + 2, QStringLiteral("connected"), {}});
        fold.Ended({s * 1000 + 3, QStringLiteral("lost"), {QStringLiteral("peer closed")}});
    }
};

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

    // A day of a server that hangs up every 10 s: the first attempts in full, then a line
    // a minute with the count; an attempt that matters is written whole, in order.
    void failed_attempts_fold_to_a_line_a_minute()
    {
        Fold_output out;
        qint64 s = 0;
        for (; s < 24 * 3600; s += 10)
            out.Hung_up(s);
        QVERIFY2(out.bytes < 1024 * 1024, qPrintable(QString::number(out.bytes)));
        QCOMPARE(out.lines.mid(0, 4), (QStringList{"0 connect 192.168.1.20", "0 connected", "0 lost peer closed",
                                                   "10 connect 192.168.1.20"}));
        QCOMPARE(out.lines.size(), 3 * Attempt_fold::Kept_in_full + 24 * 60 - 1);
        QCOMPARE(out.lines.at(9), QStringLiteral("80 attempts 6 failed lost peer closed")); // 30 s to 80 s

        // A message given during a folded attempt: the count so far, then the attempt whole.
        const qsizetype day = out.lines.size();
        out.fold.Connect({s * 1000, QStringLiteral("connect"), {QStringLiteral("192.168.1.20")}});
        out.fold.Ended({s * 1000 + 5, QStringLiteral("error"), {QStringLiteral("10061"), QStringLiteral("Connection refused")}});
        out.fold.Connect({(s + 10) * 1000, QStringLiteral("connect"), {QStringLiteral("192.168.1.20")}});
        out.fold.Connected({(s + 10) * 1000 + 2, QStringLiteral("connected"), {}});
        out.fold.Release(); // the Start's line follows
        out.fold.Ended({(s + 10) * 1000 + 3, QStringLiteral("lost"), {QStringLiteral("reset")}});
        QCOMPARE(out.lines.mid(day), (QStringList{QString::number(s) + " attempts 4 failed error 10061 Connection refused",
                                                  QString::number(s + 10) + " connect 192.168.1.20",
                                                  QString::number(s + 10) + " connected",
                                                  QString::number(s + 10) + " lost reset"}));
        int counted = 0; // every failed attempt of the day, and the refused one
        for (const QString &line : out.lines.mid(9))
            counted += line.section(' ', 2, 2).toInt();
        QCOMPARE(counted, 24 * 360 - Attempt_fold::Kept_in_full + 1);

        // A connection that lasted is no failed attempt: whole, and the next failures whole again.
        out.lines.clear();
        s += 100;
        out.fold.Connect({s * 1000, QStringLiteral("connect"), {QStringLiteral("192.168.1.20")}});
        out.fold.Connected({s * 1000, QStringLiteral("connected"), {}});
        out.fold.Ended({(s + 11) * 1000, QStringLiteral("lost"), {QStringLiteral("peer closed")}});
        out.Hung_up(s + 20);
        QCOMPARE(out.lines.size(), 6);
        QCOMPARE(out.lines.at(2), QString::number(s + 11) + " lost peer closed");
    }
};

QTEST_GUILESS_MAIN(Tst_reconnect)
#include "tst_reconnect.moc"
