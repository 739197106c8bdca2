// The main window against a loopback server of the test's own, and once against the
// simulator program: connecting, the status text, the exact bytes sent, what is done
// with what the server sends, and the log boxes.

#include "tst_connection_fixture.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>

namespace {
// A loopback port where nothing listens.
quint16 Closed_port()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString Heat(const Window_fixture &f) // id/status
{
    return f.ui().Label_active_heat->text() + '/' + f.ui().Label_heat_status->text();
}
} // namespace

class Tst_connection : public QObject
{
    Q_OBJECT
private slots:
    void offline_nothing_is_sent_and_the_log_boxes_refuse_typing()
    {
        Window_fixture f;
        QTest::mouseClick(f.ui().Text_to_send, Qt::RightButton);
        QCOMPARE(f.ui().Text_to_send->text(), QStringLiteral("This is a test message from starter!"));
        QTest::mouseClick(f.ui().Command_send, Qt::LeftButton);
        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        QTest::mouseClick(f.ui().Command_abort, Qt::LeftButton);
        QCOMPARE(f.boxes.Texts(), QStringList(3, QStringLiteral("not Connected!")));
        const QString logged = f.ui().Text_to_goal->toPlainText(); // the free text alone
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d This is a test message from starter!\n$"))
                     .match(logged).hasMatch(), qPrintable(logged));
        for (QPlainTextEdit *box : {f.ui().Text_to_goal, f.ui().Text_from_goal}) {
            f.beeps = 0;
            const QString before = box->toPlainText();
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("ab1."));
            QTest::keyClick(box, Qt::Key_Backspace);
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_Down); // moving is not typing
            QCOMPARE(f.beeps, 7);
            QCOMPARE(box->toPlainText(), before);
        }
    }

    void one_connection_and_the_exact_bytes_on_the_wire()
    {
        Window_fixture f;
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed")); // refreshed when shown
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Connected"));
        QTcpSocket *first = f.peer;
        QVERIFY(f.Connect());
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(f.ui().Command_start->hasFocus());
        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        const QString start = QString::fromLatin1(f.Peer_read(24));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d Velantra Start%$")).match(start).hasMatch(),
                 qPrintable(start));
        f.ui().Text_to_send->setFocus();
        QTest::mouseClick(f.ui().Command_abort, Qt::LeftButton);
        QCOMPARE(f.Peer_read(24).mid(8), QByteArray(" Velantra Abort%"));
        QVERIFY(f.ui().Command_start->hasFocus());
        const QString text = QStringLiteral("50% done \u20AC \u03A9");
        f.ui().Text_to_send->setText(text);
        QTest::mouseClick(f.ui().Command_send, Qt::LeftButton);
        const QByteArray sent = f.Peer_read(22);
        QCOMPARE(sent.mid(8), QByteArray(" 50% done \x80 ?%"));
        QCOMPARE(f.ui().Text_to_send->text(), text);
        QCOMPARE(f.ui().Text_to_goal->toPlainText(), QString::fromLatin1(sent.left(8)) + ' ' + text + '\n');
        f.ui().Text_to_send->clear();
        QTest::mouseClick(f.ui().Command_send, Qt::LeftButton);
        QCOMPARE(f.Peer_read(10).mid(8), QByteArray(" %"));

        // Connect while the first attempt is still being made: the abandoned one reports nothing.
        f.connection()->Set_remote_port(Closed_port());
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        f.connection()->Set_remote_port(f.server.serverPort());
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Connected"));
        QTest::mouseClick(f.ui().Command_disconnect, Qt::LeftButton);
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QTRY_COMPARE(f.peer->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void failed_connect_stays_in_error_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("error");
        QTest::newRow("refused") << "127.0.0.1" << "^winsock error! 10061 \\S";
        // Without any name service the failure may differ: still an error with a number.
        QTest::newRow("unknown host") << "no-such-host.invalid" << "^winsock error! [1-9]\\d* \\S";
    }
    void failed_connect_stays_in_error()
    {
        QFETCH(QString, host);
        QFETCH(QString, error);
        Window_fixture f;
        f.connection()->Set_remote_port(Closed_port());
        f.ui().Text_host->setText(host);
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f.boxes.Messages().size(), 1, 30000);
        const QString box = f.boxes.Texts().first();
        QVERIFY2(QRegularExpression(error).match(box).hasMatch(), qPrintable(box));
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Error"));
        f.form->Timer1_Timer();
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Error"));
        QTest::mouseClick(f.ui().Command_disconnect, Qt::LeftButton);
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
    }

    // Each block is sent and handled as one read before the next one goes.
    void blocks_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");
        QTest::addColumn<QString>("logged"); // the From-goal box
        QTest::addColumn<QString>("heat");   // id/status
        QTest::addColumn<QString>("sounds"); // rings/beeps
        QTest::newRow("a%%b%, 1252") << QByteArrayList{"a%%\x80 caf\xE9#%"} << "a\n\u20AC caf\u00E9#\n" << "/" << "0/1";
        QTest::newRow("split heat line, start, abort")
            << QByteArrayList{"Velantra Active He", "at/7/Ready%x/7/Start%", "x/7/Abort%"}
            << "Velantra Active Heat/7/Ready\nx/7/Start\nx/7/Abort\n" << "7/Abort" << "0/0";
        QTest::newRow("short, lower-case") << QByteArrayList{"Velantra Active Heat/3/Ready%Velantra Active Heat/4%"
                                                             "Velantra Active Heat%velantra active heat/9/abort%"}
            << "Velantra Active Heat/3/Ready\nVelantra Active Heat/4\nVelantra Active Heat\n"
               "velantra active heat/9/abort\n" << "4/Ready" << "0/0";
        QTest::newRow("sounds once per block")
            << QByteArrayList{"\xA4\xA4%", "\xA4#%#%"} << "\u00A4\u00A4\n\u00A4#\n#\n" << "/" << "2/1";
        QTest::newRow("markup is text") << QByteArrayList{"Velantra Active Heat/<b>7<br>/&lt;Go&gt;%"}
            << "Velantra Active Heat/<b>7<br>/&lt;Go&gt;\n" << "<b>7<br>/&lt;Go&gt;" << "0/0";
        QByteArray many;
        for (int i = 1; i <= 25; ++i)
            many += "line " + QByteArray::number(i) + "%";
        QTest::newRow("the last ten") << QByteArrayList{many}
            << QString::fromLatin1(many).split('%').mid(15, 10).join('\n') + '\n' << "/" << "0/0";
    }
    void blocks()
    {
        QFETCH(QByteArrayList, blocks);
        Window_fixture f;
        QVERIFY(f.Connect());
        f.connection()->Set_grace_ms(60000); // a split line is joined however slow the machine
        for (const QByteArray &block : blocks)
            QVERIFY(f.Server_send(block));
        QTEST(f.ui().Text_from_goal->toPlainText(), "logged");
        QTEST(Heat(f), "heat");
        QCOMPARE(f.ui().Label_active_heat->textFormat(), Qt::PlainText);
        QCOMPARE(f.ui().Label_heat_status->textFormat(), Qt::PlainText);
        QTEST(QStringLiteral("%1/%2").arg(f.rings).arg(f.beeps), "sounds");
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void unterminated_lines_show_after_a_pause_a_flood_or_a_hang_up()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        f.ui().Text_to_send->setFocus();
        f.connection()->Set_grace_ms(60000);
        QVERIFY(f.Server_send("1%2%3%4%5%6%7%8%first%Velantra Active Heat/5/Re"));
        QCOMPARE(f.From_goal_lines().constLast(), QStringLiteral("first"));
        f.connection()->Set_grace_ms(Remote_connection::Grace_ms);
        QVERIFY(f.Server_send("ady"));
        QTRY_COMPARE(f.From_goal_lines().constLast(), QStringLiteral("Velantra Active Heat/5/Ready"));
        QCOMPARE(Heat(f), QStringLiteral("5/Ready"));
        // Ten lines: the newest is at the bottom; linescroll moves up one and leaves the focus be.
        QScrollBar *bar = f.ui().Text_from_goal->verticalScrollBar();
        QVERIFY(bar->maximum() > 1);
        QCOMPARE(bar->value(), bar->maximum() - 1);
        f.ui().item_linescroll->trigger();
        QCOMPARE(bar->value(), bar->maximum() - 2);
        QVERIFY(f.ui().Text_to_send->hasFocus());

        const QByteArray junk(150 * 1024, 'z');
        f.peer->write(junk + "%ok%");
        QTRY_COMPARE(f.From_goal_lines().constLast(), QStringLiteral("ok"));
        const QStringList pieces = f.From_goal_lines().filter(QStringLiteral("z"));
        for (const QString &piece : pieces)
            QVERIFY(piece.size() <= 2 * Line_splitter::Max_held);
        QCOMPARE(pieces.join(QString()).size(), junk.size());

        // A server that hangs up is the closed event, not an error.
        f.peer->write("last words");
        f.peer->disconnectFromHost();
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QCOMPARE(f.connection()->Socket_state(), 0);
        QCOMPARE(f.From_goal_lines().constLast(), QStringLiteral("last words"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void a_start_through_the_simulator()
    {
        QProcess sim; // its object kills it if the test fails
        QString printed;
        const auto wait_for = [&](const char *pattern) {
            QRegularExpressionMatch match;
            (void)QTest::qWaitFor([&] {
                printed += QString::fromUtf8(sim.readAll());
                return (match = QRegularExpression(QLatin1String(pattern)).match(printed)).hasMatch();
            }, 5000);
            return match;
        };
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(QStringLiteral(VELANTRA_TIMING_SIM), {"--port", "0", "--heat", "41"});
        const quint16 port = wait_for("Listening on 127\\.0\\.0\\.1:(\\d+)").captured(1).toUShort();
        QVERIFY2(port != 0, qPrintable(printed));
        Window_fixture f;
        f.connection()->Set_remote_port(port);
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        QTRY_COMPARE(Heat(f), QStringLiteral("41/Ready"));
        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        QTRY_COMPARE(Heat(f), QStringLiteral("41/Start"));
        QVERIFY(wait_for("<- 127\\.0\\.0\\.1:\\d+: \\d\\d:\\d\\d:\\d\\d Velantra Start\n").hasMatch());

        // A second client that sends rubbish and leaves disturbs nothing.
        QTcpSocket other;
        other.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(other.waitForConnected(5000));
        static const char rubbish[] = "%\x00\x01%unterminated";
        other.write(QByteArray(100 * 1024, '\xFF') + QByteArray(rubbish, sizeof rubbish - 1));
        other.disconnectFromHost();
        QVERIFY(wait_for("disconnected \\(1 client").hasMatch());

        sim.write("/next\nfinish line ready \xC2\xA4 #\n");
        QTRY_COMPARE(f.From_goal_lines().constLast(), QStringLiteral("finish line ready \u00A4 #"));
        QCOMPARE(Heat(f), QStringLiteral("42/Ready"));
        QCOMPARE(f.rings, 1);
        QCOMPARE(f.beeps, 1);
        QTest::mouseClick(f.ui().Command_abort, Qt::LeftButton);
        QTRY_COMPARE(Heat(f), QStringLiteral("42/Abort"));
        sim.write("/quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }
};

QTEST_MAIN(Tst_connection)
#include "tst_connection.moc"
