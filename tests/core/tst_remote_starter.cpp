// The remote starter without a window, against a loopback server of the test's own and
// the stand-in phidget21 library: what the race journal records of each message, line
// and end of a connection, and what the window is told of each end (one box an outage).

#include "core/connection/connection_thread.h"
#include "core/connection/reconnect_schedule.h"
#include "core/connection/remote_connection.h"
#include "core/main_window/remote_starter.h"
#include "support/test_support.h"

#include <QtNetwork>
#include <QtTest>

extern "C" void fake_phidget21_attach(int serial), fake_phidget21_detach(), fake_phidget21_change_input(int index, int state);

namespace {

// The journal's lines after its last start; without their times unless timed.
QStringList Journal_lines(const Isolated_user_dirs &dirs, bool timed = false)
{
    QStringList lines = QString::fromUtf8(File_bytes(Todays_journal(dirs.Data_path()))).split(QStringLiteral("\r\n"));
    lines = lines.mid(lines.lastIndexOf(QRegularExpression(".*\tstarted\t.*")) + 1);
    for (QString &line : lines)
        line = timed ? line : line.mid(24);
    return lines;
}

} // namespace

class Tst_remote_starter : public QObject
{
    Q_OBJECT
private slots:
    void init() { fake_phidget21_detach(); }

    // Each message with what gave it and its exact text, each line as received, in
    // order, each time inside the span of its event.
    void the_journal_has_every_message_and_line_with_its_source_and_time()
    {
        Isolated_user_dirs dirs;
        Remote_starter starter;
        starter.Load();
        Connection_thread &network = starter.Network();
        network.Set_grace_ms(5000); // the two halves of a line make one, however slow the machine
        Loopback_server server;
        QVERIFY(server.Connect(network));
        QSignalSpy attached(&starter, &Remote_starter::Board_attached);
        fake_phidget21_attach(301234);
        QTRY_COMPARE(attached.size(), 1);
        starter.Set_armed(true);
        QList<QPair<qint64, qint64>> spans;
        const auto timed = [&](auto event) {
            const qint64 before = QDateTime::currentMSecsSinceEpoch();
            event();
            spans.append({before, QDateTime::currentMSecsSinceEpoch()});
        };
        timed([&] { starter.Send_start({Message_source::Click}); });
        timed([&] { starter.Send_start({Message_source::Keyboard}); });
        timed([&] { fake_phidget21_change_input(2, 1); });
        timed([&] { starter.Send_abort({Message_source::Click}); });
        timed([&] { starter.Send_text(QStringLiteral("ready\tgo"), {Message_source::Click}); });
        const QList<QByteArray> sent = server.Read(4 * 24 + 18).split('%');
        timed([&] { QVERIFY(server.Send(network, "Velantra Active Heat/7/Ready%ab")); });
        timed([&] { QVERIFY(server.Send(network, "c%\x07" "bell%")); });
        QTRY_VERIFY(File_bytes(Todays_journal(dirs.Data_path())).contains("bell"));
        QCOMPARE(Journal_lines(dirs).mid(0, 13), (QStringList{"connect\t127.0.0.1", "connected", "attached\tserial 301234", "armed",
            "sent\tstart\tStart button\t" + sent[0], "sent\tstart\tkeyboard\t" + sent[1],
            "sent\tstart\ttrigger input 2\t" + sent[2], "sent\tabort\tAbort button\t" + sent[3],
            "sent\ttext\tSend button\t" + QString(sent[4]).replace('\t', "\\x09"),
            "received\tVelantra Active Heat/7/Ready", "heat\t7\tReady", "received\tabc", "received\t\\x07bell"}));
        const QStringList lines = Journal_lines(dirs, true);
        for (int i = 4; i < 13; ++i) {
            const QPair<qint64, qint64> span = spans.at(std::min(i - 4, 5 + (i > 10)));
            const qint64 at = QDateTime::fromString(lines.at(i).left(23), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toMSecsSinceEpoch();
            QVERIFY2(span.first <= at && at <= span.second, qPrintable(lines.at(i)));
        }
    }

    // Every way a connection ends is one end, with its own line in the journal; an outage
    // is one alarm and at most one box, whatever fails during it, and the official's own
    // Connect that fails has its box.
    void each_end_is_one_line_and_an_outage_one_alarm_and_box()
    {
        Isolated_user_dirs dirs;
        auto starter = std::make_unique<Remote_starter>();
        starter->Load();
        starter->findChild<Reconnect_schedule *>()->Set_waits({600000, 600000, 600000}); // attempts only when asked
        Connection_thread &network = starter->Network();
        // Counted on this thread, after the starter (connected first) has handled each.
        QObject here;
        int ended = 0;
        QObject::connect(network.Connection(), &Remote_connection::Ended, &here, [&] { ++ended; });
        QSignalSpy boxes(starter.get(), &Remote_starter::Message);
        QSignalSpy alarms(starter.get(), &Remote_starter::Alarm_changed);
        Loopback_server server;
        const quint16 port = server.server.serverPort();
        network.Set_remote_port(port);
        const auto connect = [&] { return starter->Connect(QStringLiteral("127.0.0.1")), server.Accepted(network); };
        const auto speak = [&] { return server.Send(network, "Velantra Active Heat/3/Ready%"); };
        const auto reconnect_now = [&] { starter->Set_reconnect(false), starter->Set_reconnect(true); }; // at once

        QVERIFY(connect() && speak());
        server.peer->disconnectFromHost();
        QTRY_COMPARE(ended, 1);
        QVERIFY(connect() && speak()); // a new outage of its own
        server.Reset();
        QTRY_COMPARE(ended, 2);
        server.server.close();
        reconnect_now(); // refused
        QTRY_COMPARE(ended, 3);
        QVERIFY(server.server.listen(QHostAddress::LocalHost, port));
        reconnect_now();
        QVERIFY(server.Accepted(network));
        server.Reset(); // before it worked: the same outage
        QTRY_COMPARE(ended, 4);
        reconnect_now();
        QVERIFY(server.Accepted(network) && speak()); // works
        QTRY_COMPARE(alarms.size(), 5);
        starter->Disconnect();
        QTRY_COMPARE(ended, 5);
        network.Set_remote_port(Closed_port());
        starter->Connect(QStringLiteral("127.0.0.1"));
        QTRY_COMPARE(ended, 6);

        QList<bool> alarm_states;
        for (const QVariantList &alarm : std::as_const(alarms))
            alarm_states << alarm.constFirst().toBool();
        QCOMPARE(alarm_states, (QList<bool>{false, true, false, true, false, false})); // off: working, Disconnect
        QStringList box_texts;
        for (const QVariantList &box : std::as_const(boxes))
            box_texts << box.constFirst().value<Shown_message>().text;
        QCOMPARE(box_texts, (QStringList{"winsock error! 10054 Connection reset by peer", "winsock error! 10061 Connection refused"}));
        starter.reset(); // the journal's last lines
        const QString reset_line = QStringLiteral("lost\treset\t10054\tConnection reset by peer");
        const QString refused_line = QStringLiteral("error\t10061\tConnection refused");
        QCOMPARE(Journal_lines(dirs).filter(QRegularExpression(QStringLiteral("^(lost|closed|error|attempts)\t"))),
                 (QStringList{"lost\tpeer closed", reset_line, refused_line, reset_line, "closed\tby the official", refused_line}));
    }

    // A journal that cannot be written is said (for the status label's tooltip), never
    // in a box; starts go on.
    void a_journal_that_cannot_be_written_is_said_without_a_box_and_starts_go_on()
    {
        Isolated_user_dirs dirs;
        QVERIFY(QDir().mkpath(Todays_journal(dirs.Data_path()))); // a folder in its way
        Remote_starter starter;
        QSignalSpy failing(&starter, &Remote_starter::Journal_failing);
        QSignalSpy boxes(&starter, &Remote_starter::Message);
        starter.Load();
        Loopback_server server;
        QVERIFY(server.Connect(starter.Network()));
        QCOMPARE(starter.Send_start({}), Send_result::Sent);
        QCOMPARE(Digits_masked(server.Read(24)), QStringLiteral("99:99:99 Velantra Start%"));
        QTRY_VERIFY(!failing.isEmpty());
        QCOMPARE(failing.constFirst().constFirst().toString(),
                 "The race journal cannot be written: " + Todays_journal(dirs.Data_path()) + ": cannot open: Is a directory");
        QVERIFY(boxes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(Tst_remote_starter)
#include "tst_remote_starter.moc"
