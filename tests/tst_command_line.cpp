// The two programs' command lines: --help and --version are answered without a
// display, and any other argument leaves the client to start as ever, or to say
// how to start it where there is no display.

#include <QtTest>

namespace {
const QString Client = QStringLiteral(VELANTRA_CLIENT_PATH);
const QString Simulator = QStringLiteral(VELANTRA_TIMING_SIM);
const QString No_display = QStringLiteral(
    "^velantra-remote: there is no display to open the window on \\(DISPLAY and WAYLAND_DISPLAY are not set\\)\\.\\n"
    "Start it from a desktop session, or from a terminal with X forwarding \\(ssh -X\\)\\.\\n");
} // namespace

class Tst_command_line : public QObject
{
    Q_OBJECT

private slots:
    void answered_without_a_display_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("path"); // programs alone on the PATH; none: the machine's PATH
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("output"); // a pattern for what the program prints
        QTest::newRow("-v amid Qt's options") << Client << QStringList{"-platform", "xcb", "-v"} << QStringList() << 0
                                              << "^velantra-remote 1\\.1\\.0\\.26\\n$";
        QTest::newRow("--help") << Client << QStringList{"--help", "--no-such-option"} << QStringList() << 0
                                << "^Usage: \\S*velantra-remote \\[options\\]\\n.*race-timing.*-h, --help.*-v, --version";
        // Nothing to answer: on to the window, which needs a display. Qt's "-reverse" holds no -v.
        QTest::newRow("nothing to answer") << Client << QStringList{"--no-such-option", "-reverse", "heat 7"}
                                           << QStringList() << 2 << No_display;
        // A virtual display is offered only where xvfb-run works (it needs xauth), as a
        // command that starts the program as it was started.
        QTest::newRow("xvfb-run without xauth") << Client << QStringList{"-style", "fusion"} << QStringList{"xvfb-run"}
                                                << 2 << No_display + "$";
        QTest::newRow("xvfb-run and xauth") << Client << QStringList{"-style", "heat 7's"} << QStringList{"xvfb-run", "xauth"} << 2
                                            << No_display + "To see that it starts without a screen, on a virtual display "
                                                            "nobody sees:\\n  xvfb-run -a /\\S*/velantra-remote -style 'heat 7'\\\\''s'\\n$";
        QTest::newRow("simulator --version") << Simulator << QStringList{"--version"} << QStringList() << 0
                                             << "^velantra-timing-sim 1\\.1\\.0\\.26\\n$";
    }
    void answered_without_a_display()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, path);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        QTemporaryDir bin;
        for (const QString &name : path) {
            QFile tool(bin.filePath(name));
            QVERIFY(tool.open(QIODevice::WriteOnly) && tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        if (!path.isEmpty())
            env.insert(QStringLiteral("PATH"), bin.path());
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
