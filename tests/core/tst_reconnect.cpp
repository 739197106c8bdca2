// What follows a loss: the schedule's growing waits and its one outage however often a
// server hangs up, and the journal's folding of the failed attempts. The window's tests
// drive them against a server that goes and comes back; tools/hostile-server.sh against
// servers that hang up or reset every connection.

#include "core/connection/reconnect_schedule.h"
#include "core/journal/attempt_fold.h"

#include <QtTest>

class Tst_reconnect : public QObject
{
    Q_OBJECT
private slots:
    // A server that accepts and ends every connection, or refuses it: one outage, and
    // attempts at once, then after growing waits, which a short connection does not reset.
    void one_outage_and_growing_waits_however_often_a_server_hangs_up()
    {
        Reconnect_schedule schedule;
        schedule.Set_waits({20, 100, 600000}); // the program's 2 s, 10 s and 10 s, shortened
        QSignalSpy attempts(&schedule, &Reconnect_schedule::Attempt_due);
        QSignalSpy working(&schedule, &Reconnect_schedule::Working);
        schedule.Official_connect(QStringLiteral("timing-server"));
        schedule.Connected();
        QVERIFY(schedule.Connection_lost() && !schedule.Running()); // the outage begins; off, nothing runs
        schedule.Set_enabled(true); // on: at once
        QList<int> waits;
        for (int i = 0; i < 6 && attempts.wait(5000); ++i) {
            waits << schedule.Next_wait_ms();
            if (i % 2 == 0) { // accepted and closed at once; the other ones refused
                schedule.Connected();
                QVERIFY(!schedule.Connection_lost());
            }
        }
        QCOMPARE(waits, (QList<int>{20, 40, 80, 100, 100, 100}));
        QVERIFY(schedule.Attempting() && schedule.Outage() && working.isEmpty());
        QCOMPARE(attempts.constFirst().constFirst().toString(), "timing-server");

        // A whole line ends the outage; a loss after it begins another, tried after the
        // longest wait, so a server that greets and hangs up is no storm. A connection
        // that lasted is tried again at once.
        for (const bool lasts : {false, true}) {
            schedule.Set_waits({20, 100, lasts ? 50 : 600000});
            QVERIFY(attempts.wait(5000));
            schedule.Connected();
            if (!lasts)
                schedule.Line_received();
            QTRY_COMPARE(working.size(), lasts ? 2 : 1);
            QVERIFY(!schedule.Outage() && schedule.Connection_lost());
            QCOMPARE(schedule.Next_wait_ms(), lasts ? 0 : 100);
        }
        schedule.Official_disconnect();
        QVERIFY(!schedule.Running() && !schedule.Outage() && !schedule.Connection_lost());
    }

    // A day of a server that hangs up every 10 s: the first attempts in full, then a line
    // a minute with the count; an attempt that matters is written whole, in order.
    void failed_attempts_fold_to_a_line_a_minute()
    {
        QStringList lines; // "<seconds> <event> <details>"
        qint64 bytes = 0;  // as the journal writes them: a time of 23 characters, tabs, CR LF
        Attempt_fold fold([&](const Journal_line &line) {
            lines << QStringList{QString::number(line.time / 1000), line.event, line.details.join(' ')}.join(' ').trimmed();
            bytes += 26 + line.event.size() + line.details.join('\t').toUtf8().size();
        }, 10000);
        const auto attempt = [&](qint64 s, const QString &end, bool connects = true) { // over in 3 ms
            fold.Connect({s * 1000, "connect", {"192.168.1.20"}});
            if (connects)
                fold.Connected({s * 1000 + 2, "connected", {}});
            fold.Ended({s * 1000 + 3, end.section(' ', 0, 0), {end.section(' ', 1)}});
        };
        qint64 s = 0;
        for (; s < 24 * 3600; s += 10)
            attempt(s, "lost peer closed");
        QVERIFY2(bytes < 1024 * 1024, qPrintable(QString::number(bytes)));
        QCOMPARE(lines.mid(8, 2), (QStringList{"20 lost peer closed", "80 attempts 6 failed lost peer closed"})); // 30 s to 80 s
        QCOMPARE(lines.size(), 3 * Attempt_fold::Kept_in_full + 24 * 60 - 1);

        // A message given during a folded attempt: the count so far, then the attempt whole.
        const qsizetype day = lines.size();
        attempt(s, "error 10061 Connection refused", false);
        fold.Connect({(s + 10) * 1000, "connect", {"192.168.1.20"}});
        fold.Release(); // the Start's line follows
        fold.Ended({(s + 10) * 1000 + 3, "lost", {"reset"}});
        QCOMPARE(lines.mid(day), (QStringList{QString::number(s) + " attempts 4 failed error 10061 Connection refused",
                                              QString::number(s + 10) + " connect 192.168.1.20", QString::number(s + 10) + " lost reset"}));
        int counted = 0; // every failed attempt of the day, and the refused one
        for (const QString &line : lines.filter(" attempts "))
            counted += line.section(' ', 2, 2).toInt();
        QCOMPARE(counted, 24 * 360 - Attempt_fold::Kept_in_full + 1);

        // A connection that lasted is no failed attempt: whole, and the next failures whole again.
        lines.clear();
        fold.Connect({(s + 100) * 1000, "connect", {"192.168.1.20"}});
        fold.Connected({(s + 100) * 1000, "connected", {}});
        fold.Ended({(s + 111) * 1000, "lost", {"peer closed"}});
        attempt(s + 120, "lost peer closed");
        QCOMPARE(lines.size(), 6);
    }
};

QTEST_GUILESS_MAIN(Tst_reconnect)
#include "tst_reconnect.moc"
