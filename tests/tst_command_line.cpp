// The two programs' command lines: --help and --version are answered without a
// display, and the client is not changed by any other argument.

#include "shared/single_instance.h"
#include "support/test_support.h"

#include <QProcess>
#include <QtTest>

namespace {
const QString Client = QStringLiteral(VELANTRA_CLIENT_PATH);
const QString Simulator = QStringLiteral(VELANTRA_TIMING_SIM);
} // namespace

class Tst_command_line : public QObject
{
    Q_OBJECT

private slots:
    void answered_without_a_display_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("output"); // a pattern for what goes to standard output
        const QString version = QStringLiteral("^velantra-remote 1\\.1\\.0\\.26\\n$");
        QTest::newRow("--version") << Client << QStringList{"--version"} << 0 << version;
        QTest::newRow("-v amid Qt's options") << Client << QStringList{"-platform", "xcb", "-v"} << 0 << version;
        QTest::newRow("--help") << Client << QStringList{"--help", "--no-such-option"} << 0
                                << "^Usage: \\S*velantra-remote \\[options\\]\\n.*race-timing.*-h, --help.*-v, --version";
        // Nothing to answer: on to the window, which needs a display. Qt's "-reverse" holds no -v.
        QTest::newRow("nothing to answer") << Client << QStringList{"--no-such-option", "-reverse"} << 2 << "^$";
        QTest::newRow("simulator --version") << Simulator << QStringList{"--version"} << 0
                                             << "^velantra-timing-sim 1\\.1\\.0\\.26\\n$";
        QTest::newRow("simulator --help") << Simulator << QStringList{"-h"} << 0 << "--port <port>";
    }
    void answered_without_a_display()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(10000));
        QTEST(process.exitCode(), "exit_code");
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        QFETCH(QString, output);
        QVERIFY2(QRegularExpression(output, QRegularExpression::DotMatchesEverythingOption).match(out).hasMatch(), qPrintable(out));
    }

    void other_arguments_change_nothing()
    {
        Isolated_user_dirs dirs;
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        client.start(Client, {"--no-such-option", "-reverse", "heat 7"});
        // It starts as ever: the window is loaded (its instance lock taken) and the program runs on.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Instance_lock::Default_path()), 20000);
        QTest::qWait(300);
        QCOMPARE(client.state(), QProcess::Running);
        QVERIFY(client.readAllStandardOutput().isEmpty());
        client.kill();
        QVERIFY(client.waitForFinished());
    }
};

QTEST_GUILESS_MAIN(Tst_command_line)
#include "tst_command_line.moc"
