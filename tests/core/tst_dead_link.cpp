// A link that dies without a word (a cable pulled, a switch off, the server's PC frozen),
// made for real: the server in a network namespace of the test's own, the link under it
// taken down, so no FIN and no reset ever comes. Needs root; skipped elsewhere, but not
// in CI.

#include "connection/remote_connection.h"
#include "connection/socket_io.h"
#include "support/test_support.h"

#include <QtNetwork>
#include <QtTest>

namespace {

struct Acknowledgements final : Message_observer
{
    void Message_sent(const Outgoing_message &, qint64) override { ++sent; }
    void Message_not_sent(const Outgoing_message &, Not_sent_reason, const QString &, qint64) override {}
    void Message_not_acknowledged(const Outgoing_message &message, qint64) override { unacknowledged << message.text; }
    int sent = 0;
    QStringList unacknowledged;
};

} // namespace

class Tst_dead_link : public QObject
{
    Q_OBJECT
private slots:
    // Silent, the keep-alive probes find it; with a start on its way, the start's own
    // unacknowledged bytes. Either way a loss within 10 s, with the system's cause; a
    // start given before it is known went to the network and is counted among the lost.
    void a_dead_link_is_a_loss_within_seconds()
    {
        Namespaced_link link;
        if (!link.Made()) {
            if (Services_required())
                QFAIL("no network namespace could be made (root and iproute2 are needed)");
            QSKIP("no network namespace can be made here (root and iproute2 are needed)");
        }
        QTcpServer server;
        QVERIFY(link.Listen(server));
        Remote_connection connection;
        Acknowledgements told;
        connection.Writer().Set_observer(&told);
        connection.Set_remote_port(server.serverPort());
        QSignalSpy lost(&connection, &Remote_connection::Lost);
        QSignalSpy errors(&connection, &Remote_connection::Socket_error);
        for (const bool start : {false, true}) {
            connection.Connect(Namespaced_link::Server_address());
            QTRY_VERIFY(server.hasPendingConnections() && connection.Socket_state() == 7);
            std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
            QCOMPARE(connection.Writer().Start({}), Send_result::Sent); // the link works
            QVERIFY(peer->waitForReadyRead(5000));

            QVERIFY(link.Cut());
            QElapsedTimer since_cut;
            since_cut.start();
            if (start) // before the loss is known, the network takes it
                QCOMPARE(connection.Writer().Start({}), Send_result::Sent);
            QTRY_COMPARE_WITH_TIMEOUT(lost.size(), start ? 2 : 1, 10000);
            qInfo("%s: the loss seen %.1f s after the cut", start ? "a start on its way" : "silent",
                  double(since_cut.elapsed()) / 1000);
            const QVariantList loss = lost.constLast();
            QCOMPARE(loss.at(0).value<Remote_connection::Loss>(), Remote_connection::Error);
            QVERIFY2(QList<int>({10060, 10065}).contains(loss.at(1).toInt()), qPrintable(loss.at(2).toString()));
            QCOMPARE(told.unacknowledged.size(), start ? 1 : 0);
            QCOMPARE(errors.constLast().at(2).toInt(), start ? 1 : 0); // the box counts it
            QCOMPARE(connection.Writer().Start({}), Send_result::Not_connected); // once known: unsent
            QVERIFY(link.Mend());
        }
        QCOMPARE(told.sent, 3);
    }
};

QTEST_GUILESS_MAIN(Tst_dead_link)
#include "tst_dead_link.moc"
