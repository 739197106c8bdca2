// End to end: the client against the timing-server simulator running as a
// separate program, driven from its console as a person would.

#include "tst_connection_fixture.h"

#include <QLabel>
#include <QProcess>
#include <QRegularExpression>

class Sim_process
{
public:
    Sim_process()
    {
        process.setProgram(QStringLiteral(VELANTRA_TIMING_SIM));
        process.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--heat"),
                              QStringLiteral("41")});
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
    }
    ~Sim_process()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Waits until the simulator has printed something matching.
    bool Printed(const QString &pattern)
    {
        const QRegularExpression re(pattern);
        return QTest::qWaitFor([&] {
            output += QString::fromUtf8(process.readAll());
            return re.match(output).hasMatch();
        }, 5000);
    }
    quint16 Port()
    {
        if (!Printed(QStringLiteral("Listening on 127\\.0\\.0\\.1:(\\d+)")))
            return 0;
        return QRegularExpression(QStringLiteral("Listening on 127\\.0\\.0\\.1:(\\d+)"))
            .match(output).captured(1).toUShort();
    }
    void Type(const QString &line) { process.write((line + QLatin1Char('\n')).toUtf8()); }

    QProcess process;
    QString output;
};

class Tst_simulator : public QObject
{
    Q_OBJECT
private slots:
    void a_start_through_the_simulator()
    {
        Sim_process sim;
        const quint16 port = sim.Port();
        QVERIFY2(port != 0, qPrintable(sim.output));

        Window_fixture f;
        f.connection()->Set_remote_port(port);
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Connected"));
        QTRY_COMPARE(f.ui().Label_active_heat->text(), QStringLiteral("41"));
        QCOMPARE(f.ui().Label_heat_status->text(), QStringLiteral("Ready"));

        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        QTRY_COMPARE(f.ui().Label_heat_status->text(), QStringLiteral("Start"));
        QVERIFY(sim.Printed(QStringLiteral("<- 127\\.0\\.0\\.1:\\d+: \\d\\d:\\d\\d:\\d\\d Velantra Start\n")));

        // A second client, and one that sends rubbish and leaves, disturb nothing.
        QTcpSocket other;
        other.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(other.waitForConnected(5000));
        QByteArray greeting;
        QTRY_VERIFY((greeting += other.readAll()).contains("Velantra Active Heat/41/Start%"));
        static const char rubbish[] = "%\x00\x01%unterminated";
        other.write(QByteArray(100 * 1024, '\xFF') + QByteArray(rubbish, sizeof rubbish - 1));
        other.flush();
        other.disconnectFromHost();
        QVERIFY(sim.Printed(QStringLiteral("disconnected \\(1 client")));

        sim.Type(QStringLiteral("/next"));
        QTRY_COMPARE(f.ui().Label_active_heat->text(), QStringLiteral("42"));
        QCOMPARE(f.ui().Label_heat_status->text(), QStringLiteral("Ready"));

        sim.Type(QStringLiteral("finish line ready \u00A4 #"));
        QTRY_COMPARE(f.From_goal_lines().value(f.From_goal_lines().size() - 1),
                     QStringLiteral("finish line ready \u00A4 #"));
        QCOMPARE(f.rings, 1);
        QCOMPARE(f.beeps, 1);

        QTest::mouseClick(f.ui().Command_abort, Qt::LeftButton);
        QTRY_COMPARE(f.ui().Label_heat_status->text(), QStringLiteral("Abort"));

        sim.Type(QStringLiteral("/quit"));
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitCode(), 0);
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }
};

QTEST_MAIN(Tst_simulator)
#include "tst_simulator.moc"
