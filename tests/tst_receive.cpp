// What the client does with what the server sends: cutting the stream into lines,
// the From-goal log, the heat display, the ring and the beep.

#include "tst_connection_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

class Tst_receive : public QObject
{
    Q_OBJECT
private slots:
    // Each block is sent and handled as one read before the next one goes.
    void blocks_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QString>("heat_id");
        QTest::addColumn<QString>("heat_status");
        QTest::addColumn<int>("rings");
        QTest::addColumn<int>("beeps");
        QTest::newRow("a%b%") << QByteArrayList{"a%b%"} << QStringList{"a", "b"} << "" << "" << 0 << 0;
        QTest::newRow("a%%b% handles b, its # beeps")
            << QByteArrayList{"a%%b#%"} << QStringList{"a", "b#"} << "" << "" << 0 << 1;
        QTest::newRow("split heat line")
            << QByteArrayList{"Velantra Active He", "at/7/Ready%"} << QStringList{"Velantra Active Heat/7/Ready"}
            << "7" << "Ready" << 0 << 0;
        QTest::newRow("start then abort")
            << QByteArrayList{"x/7/Start%", "x/7/Abort%"} << QStringList{"x/7/Start", "x/7/Abort"} << "7" << "Abort"
            << 0 << 0;
        QTest::newRow("case-sensitive") << QByteArrayList{"velantra active heat/9/ready%"}
                                        << QStringList{"velantra active heat/9/ready"} << "" << "" << 0 << 0;
        QTest::newRow("short heat lines keep what they lack")
            << QByteArrayList{"Velantra Active Heat/3/Ready%Velantra Active Heat/4%Velantra Active Heat%"}
            << QStringList{"Velantra Active Heat/3/Ready", "Velantra Active Heat/4", "Velantra Active Heat"} << "4"
            << "Ready" << 0 << 0;
        QTest::newRow("ring once per block")
            << QByteArrayList{"\xA4\xA4%", "\xA4#%"} << QStringList{"\u00A4\u00A4", "\u00A4#"} << "" << "" << 2 << 1;
        QTest::newRow("beep once per block") << QByteArrayList{"#%#%", "#%"} << QStringList{"#", "#", "#"} << ""
                                             << "" << 0 << 2;
        QTest::newRow("markup is text")
            << QByteArrayList{"Velantra Active Heat/<b>7<br>/&lt;Go&gt;%<b>7</b>%"}
            << QStringList{"Velantra Active Heat/<b>7<br>/&lt;Go&gt;", "<b>7</b>"} << "<b>7<br>" << "&lt;Go&gt;"
            << 0 << 0;
        QTest::newRow("Windows-1252") << QByteArrayList{"\x80 caf\xE9%"} << QStringList{"\u20AC caf\u00E9"} << ""
                                      << "" << 0 << 0;
        QByteArray many;
        QStringList last_ten;
        for (int i = 1; i <= 25; ++i) {
            many += "line " + QByteArray::number(i) + "%";
            if (i > 15)
                last_ten << QStringLiteral("line %1").arg(i);
        }
        QTest::newRow("only the last ten stay") << QByteArrayList{many} << last_ten << "" << "" << 0 << 0;
    }
    void blocks()
    {
        QFETCH(QByteArrayList, blocks);
        QFETCH(QStringList, logged);
        QFETCH(QString, heat_id);
        QFETCH(QString, heat_status);
        QFETCH(int, rings);
        QFETCH(int, beeps);
        Window_fixture f;
        QVERIFY(f.Connect());
        for (const QByteArray &block : blocks)
            QVERIFY(f.Server_send(block));
        QCOMPARE(f.From_goal_lines(), logged);
        QCOMPARE(f.ui().Text_from_goal->toPlainText(), logged.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        QCOMPARE(f.ui().Label_active_heat->text(), heat_id);
        QCOMPARE(f.ui().Label_heat_status->text(), heat_status);
        QCOMPARE(f.ui().Label_active_heat->textFormat(), Qt::PlainText);
        QCOMPARE(f.rings, rings);
        QCOMPARE(f.beeps, beeps);
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void an_unterminated_line_shows_after_a_pause()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QVERIFY(f.Server_send("first%Velantra Active Heat/5/Re"));
        QCOMPARE(f.From_goal_lines(), QStringList{"first"});
        QVERIFY(f.Server_send("ady"));
        QTRY_COMPARE(f.From_goal_lines(), (QStringList{"first", "Velantra Active Heat/5/Ready"}));
        QCOMPARE(f.ui().Label_heat_status->text(), QStringLiteral("Ready"));
    }

    void an_unterminated_line_shows_when_the_server_closes()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        f.peer->write("last words");
        f.peer->disconnectFromHost();
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QCOMPARE(f.From_goal_lines(), QStringList{"last words"});
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void a_line_arriving_in_the_background_leaves_Start_focused()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QVERIFY(f.ui().Command_start->hasFocus());
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(!f.form->isActiveWindow());
        QVERIFY(f.Server_send("Velantra Active Heat/3/Ready%"));
        QApplication::setActiveWindow(f.form);
        QTRY_VERIFY(f.form->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), f.ui().Command_start);
    }

    void a_failing_handler_does_not_end_the_program()
    {
        // Without its logs (they are made at load) the data handler fails; the failure
        // is reported and the window carries on.
        Isolated_user_dirs dirs;
        Message_recorder boxes;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        auto *form = new Form_remotestart;
        form->Connection()->Set_remote_port(server.serverPort());
        form->Ui().Text_host->setText(QStringLiteral("127.0.0.1"));
        form->Connection()->Command_connect_Click();
        QVERIFY(server.waitForNewConnection(5000));
        QTcpSocket *peer = server.nextPendingConnection();
        peer->write("Velantra Active Heat/3/Ready%");
        peer->flush();
        QTRY_COMPARE(form->Connection()->Stats().bytes, qint64(29));
        QCOMPARE(form->Connection()->Stats().blocks, qint64(0)); // it did not get to the end
        QCOMPARE(form->Connection()->Socket_state(), 7);
        peer->disconnectFromHost();
        QTRY_COMPARE(form->Ui().Label_status->text(), QStringLiteral("Closed"));
        delete form;
    }

    void a_flood_without_terminator_stays_bounded()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        const QByteArray junk(150 * 1024, 'z');
        f.peer->write(junk);
        f.peer->write("%ok%");
        QTRY_COMPARE(f.From_goal_lines().value(f.From_goal_lines().size() - 1), QStringLiteral("ok"));
        qsizetype total = 0;
        for (const QString &line : f.From_goal_lines().mid(0, f.From_goal_lines().size() - 1)) {
            QVERIFY(line.size() <= 2 * Line_splitter::Max_held);
            total += line.size();
        }
        QCOMPARE(total, junk.size());
    }
};

QTEST_MAIN(Tst_receive)
#include "tst_receive.moc"
