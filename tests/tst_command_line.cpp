// The two programs' command lines: --help and --version are answered without a
// display, and any other argument leaves the client to start as ever.

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
        QTest::addColumn<QString>("output"); // a pattern for what the program prints
        QTest::newRow("-v amid Qt's options") << Client << QStringList{"-platform", "xcb", "-v"} << 0
                                              << "^velantra-remote 1\\.1\\.0\\.26\\n$";
        QTest::newRow("--help") << Client << QStringList{"--help", "--no-such-option"} << 0
                                << "^Usage: \\S*velantra-remote \\[options\\]\\n.*race-timing.*-h, --help.*-v, --version";
        // Nothing to answer: on to the window, which needs a display. Qt's "-reverse" holds no -v.
        QTest::newRow("nothing to answer") << Client << QStringList{"--no-such-option", "-reverse", "heat 7"} << 2
                                           << "^velantra-remote: there is no display";
        QTest::newRow("simulator --version") << Simulator << QStringList{"--version"} << 0
                                             << "^velantra-timing-sim 1\\.1\\.0\\.26\\n$";
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
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(10000));
        QTEST(process.exitCode(), "exit_code");
        const QString out = QString::fromLocal8Bit(process.readAll());
        QFETCH(QString, output);
        QVERIFY2(QRegularExpression(output, QRegularExpression::DotMatchesEverythingOption).match(out).hasMatch(), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(Tst_command_line)
#include "tst_command_line.moc"
