// The two programs' command lines: --help and --version are answered without a
// display, and any other argument leaves the client to start as ever, or to say
// how to start it where there is no display.

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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        const QString out = Run(program, arguments, env);
        QTEST(exit_code_, "exit_code");
        QFETCH(QString, output);
        QVERIFY2(QRegularExpression(output, QRegularExpression::DotMatchesEverythingOption).match(out).hasMatch(), qPrintable(out));
    }

    // Without a display the hint offers a virtual one only where xvfb-run would work
    // (it needs xauth), as a command that starts the program as it was started.
    void no_display_hint_offers_what_works_here()
    {
        QTemporaryDir bin;
        const auto tool = [&](const char *name) {
            QFile file(bin.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        };
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), bin.path());
        const QString first = QStringLiteral(
            "velantra-remote: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
            "Start it from a desktop session, or from a terminal with X forwarding (ssh -X).\n");
        const QStringList arguments{"-style", "fusion", "heat 7's"};
        tool("xvfb-run"); // xauth missing: xvfb-run would fail, so it is not offered
        QCOMPARE(Run(Client, arguments, env), first);
        QCOMPARE(exit_code_, 2);
        tool("xauth");
        QCOMPARE(Run(Client, arguments, env),
                 first + "To see that it starts without a screen, on a virtual display nobody sees:\n"
                         "  xvfb-run -a " + Client + " -style fusion 'heat 7'\\''s'\n");
    }

private:
    QString Run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(10000))
            return QStringLiteral("(no end)");
        exit_code_ = process.exitCode();
        return QString::fromLocal8Bit(process.readAll());
    }
    int exit_code_ = -1;
};

QTEST_GUILESS_MAIN(Tst_command_line)
#include "tst_command_line.moc"
