// Starts while the server floods the connection, wired as the window wires them: the
// connection on a thread of its own, the armed trigger raised by the stand-in library
// on the library's thread. Each start reaches the server once, in order with what else
// is sent; every line received passes through the rolling buffer in order, whole; the
// heat shown follows the last heat line; and however much the server sends, the window
// is told once until it takes what to show.

#include "core/connection/connection_thread.h"
#include "core/connection/display_model.h"
#include "core/connection/message_writer.h"
#include "core/start_trigger/start_trigger.h"
#include "support/test_support.h"

#include <QtNetwork>
#include <QtTest>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

extern "C" void fake_phidget21_attach(int serial), fake_phidget21_detach(), fake_phidget21_change_input(int index, int state);

namespace {

// The texts of the messages the writer told as sent, in the order told.
struct Sent_recorder final : Message_observer
{
    void Message_sent(const Outgoing_message &message, qint64) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        sent << message.text;
    }
    void Message_not_sent(const Outgoing_message &, Not_sent_reason, const QString &, qint64) override {}
    QStringList Sent()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return sent;
    }
    std::mutex mutex;
    QStringList sent;
};

// The armed trigger and the connection on its thread, connected to a loopback server.
struct Armed_connection
{
    Armed_connection()
    {
        network.Writer().Set_observer(&recorder);
        shown.Create_logs();
        network.Set_grace_ms(60000); // a line cut between two reads is one line however slow the machine
        trigger.Set_writer(&network.Writer());
        QObject::connect(&shown, &Display_model::Changed, &window, [this] { ++display_told; });
        trigger.Open_InterfaceKit();
        fake_phidget21_attach(301234);
        trigger.Set_armed(true);
        connected = server.Connect(network);
        if (peer)
            QObject::connect(peer, &QTcpSocket::readyRead, &window, [this, first = peer] { wire += first->readAll(); });
    }

    // Gives a start (s) or an Abort (a) at each letter of steps, each while the client
    // still has megabytes of what more() makes to read; false if it had taken everything
    // before one of them. check runs at each step too.
    bool During_flood(const char *steps, const std::function<QByteArray()> &more, const std::function<void()> &check)
    {
        bool flooding = true;
        for (const char *step = steps; *step; ++step) {
            while (sent - shown.Stats().bytes < 4 * 1024 * 1024)
                sent += peer->write(more());
            QTest::qWait(5);
            flooding = flooding && shown.Stats().bytes < sent;
            check();
            if (*step == 's')
                fake_phidget21_change_input(0, int(step - steps) % 2);
            else
                network.Writer().Abort({});
        }
        return flooding;
    }
    // Once the client has read all the server sent: what reached the server, every
    // digit a 9. A text given last goes out behind every message before it, so once it is
    // in, a start sent twice is in too.
    QString Wire()
    {
        network.Writer().Send(Message_kind::Text, QStringLiteral("00:00:00 end"), {});
        (void)QTest::qWaitFor([&] { return shown.Stats().bytes >= sent && wire.endsWith(" end%"); }, 60000);
        return Digits_masked(wire);
    }
    static QString Expected(const char *steps) // 'a' first: an Abort's text has no 's'
    {
        return QString::fromLatin1(steps).replace('a', "99:99:99 Velantra Abort%").replace('s', "99:99:99 Velantra Start%")
               + "99:99:99 end%";
    }

    Sent_recorder recorder;
    Connection_thread network;
    Display_model &shown = network.Display();
    Start_trigger trigger;
    QObject window; // on the test's thread, as the window is
    int display_told = 0;
    Loopback_server server;
    QTcpSocket *&peer = server.peer;
    bool connected = false;
    qint64 sent = 0;
    QByteArray wire;
};

// The lines held are prefix, n, suffix each, with consecutive n, and end no earlier than
// what the buffer held before (last_seen, then moved on).
bool Whole_in_order(const Display_model &shown, const QString &prefix, const QString &suffix, int &last_seen)
{
    int n = 0;
    for (const QString &line : Lines_of(shown.From_goal())) {
        const int previous = std::exchange(n, line.mid(prefix.size(), line.size() - prefix.size() - suffix.size()).toInt());
        if (line != prefix + QString::number(n) + suffix || (previous && n != previous + 1))
            return false;
    }
    return n >= std::exchange(last_seen, std::max(n, last_seen));
}

} // namespace

class Tst_start_under_load : public QObject
{
    Q_OBJECT
private slots:
    void init() { fake_phidget21_detach(); }

    void starts_during_a_flood_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("per_block");
        QTest::addColumn<bool>("heat_lines");
        QTest::newRow("heat lines") << "Velantra Active Heat/" << "/Ready" << 2000 << true;
        // Whole: the buffer keeps what the screen shortens.
        QTest::newRow("60,000-character lines") << "L" << ':' + QString(60000, 'x') << 1 << false;
    }

    void starts_during_a_flood()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        QFETCH(int, per_block);
        QFETCH(bool, heat_lines);
        Armed_connection c;
        QVERIFY(c.connected);
        int lines = 0, last_seen = 0;
        bool ordered = true;
        const char *steps = "ssasassaasss";
        QVERIFY2(c.During_flood(steps,
                                [&] {
                                    QByteArray block;
                                    for (int i = 0; i < per_block; ++i)
                                        block += (prefix + QString::number(++lines) + suffix).toLatin1() + '%';
                                    return block;
                                },
                                [&] { ordered = Whole_in_order(c.shown, prefix, suffix, last_seen) && ordered; }),
                 "the client took everything before a start: no flood to start during");
        QCOMPARE(c.Wire(), Armed_connection::Expected(steps));

        // Every line passed through the buffer, in order; the heat is the last line's.
        QVERIFY(ordered && Whole_in_order(c.shown, prefix, suffix, last_seen) && last_seen == lines);
        QCOMPARE(c.shown.Stats().lines, lines);
        // Told once, however many lines came, since nobody took what to show.
        QTRY_COMPARE(c.display_told, 1);
        const Display_model::Shown shown = c.shown.Take();
        QCOMPARE(shown.heat_id + '/' + shown.heat_status, heat_lines ? QString::number(lines) + QStringLiteral("/Ready") : "/");
        QVERIFY(shown.from_goal_changed && shown.heat_changed == heat_lines && !shown.to_goal_changed && !shown.ring && !shown.beep);

        // A line that never ends: starts go through. Taken, the change is told again.
        c.wire.clear();
        const char *more_steps = "ssass";
        QVERIFY(c.During_flood(more_steps, [] { return QByteArray(64 * 1024, 'y'); }, [] {}));
        QCOMPARE(c.Wire(), Armed_connection::Expected(more_steps));
        QTRY_COMPARE(c.display_told, 2);
    }

    // Starts from the trigger's thread, texts from two threads of their own and Aborts
    // from the test's, all at once, while the official disconnects and connects again:
    // every message arrives whole, each source's in its order, and exactly those the
    // writer told as sent, in that order (none written after a close, none twice).
    void every_thread_at_once_with_closes_racing_them()
    {
        Armed_connection c;
        QVERIFY(c.connected);
        QList<QTcpSocket *> peers{c.peer};
        std::atomic<bool> giving{true};
        std::vector<std::thread> senders;
        for (int t = 0; t < 2; ++t)
            senders.emplace_back([&, t] {
                for (int n = 0; giving; ++n) {
                    c.network.Writer().Send(Message_kind::Text, QStringLiteral("00:00:00 T%1 %2").arg(t).arg(n), {});
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            });
        for (int round = 0; round < 6; ++round) {
            for (int i = 0; i < 10; ++i) {
                fake_phidget21_change_input(1, i % 2);
                c.network.Writer().Abort({});
                QTest::qWait(1);
            }
            c.network.Disconnect();
            c.network.Connect(QStringLiteral("127.0.0.1"));
            QVERIFY(c.server.Accepted(c.network));
            peers << c.peer;
        }
        giving = false;
        for (std::thread &sender : senders)
            sender.join();
        const QStringList told = c.recorder.Sent();
        QByteArray wire = c.wire;
        QVERIFY(QTest::qWaitFor(
            [&] {
                wire = c.wire;
                for (QTcpSocket *peer : std::as_const(peers))
                    wire += peer->peek(peer->bytesAvailable());
                return wire.count('%') >= told.size();
            },
            10000));
        QVERIFY(wire.endsWith('%'));
        const QStringList received = QString::fromLatin1(wire.chopped(1)).split('%');
        QCOMPARE(received, told);
        QVERIFY(told.filter(QStringLiteral("Velantra Start")).size() >= 30); // the races saw traffic
        const QRegularExpression whole(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d (Velantra Start|Velantra Abort|T([01]) (\\d+))$"));
        int last[2] = {-1, -1};
        for (const QString &message : received) {
            const QRegularExpressionMatch match = whole.match(message);
            QVERIFY2(match.hasMatch(), qPrintable(message));
            if (match.hasCaptured(2)) {
                const int t = match.captured(2).toInt(), n = match.captured(3).toInt();
                QVERIFY2(n > last[t], qPrintable(message));
                last[t] = n;
            }
        }
    }
};

QTEST_GUILESS_MAIN(Tst_start_under_load)
#include "tst_start_under_load.moc"
