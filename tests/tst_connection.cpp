// Connecting to the timing server, the status text, and the exact bytes of what
// the starter sends; the log boxes and the text-to-send box.

#include "tst_connection_fixture.h"

#include "shared/non_dependant.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
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
} // namespace

class Tst_connection : public QObject
{
    Q_OBJECT
private slots:
    void connect_and_disconnect()
    {
        Window_fixture f;
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed")); // refreshed when shown
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Connected"));
        QVERIFY(f.ui().Command_start->hasFocus());
        QTest::mouseClick(f.ui().Command_disconnect, Qt::LeftButton);
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QTRY_COMPARE(f.peer->state(), QAbstractSocket::UnconnectedState);
        QTest::mouseClick(f.ui().Command_disconnect, Qt::LeftButton); // again: no effect
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void refused_shows_the_error_and_stays_in_error()
    {
        Window_fixture f;
        f.connection()->Set_remote_port(Closed_port());
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.boxes.Messages().size(), 1);
        QVERIFY2(f.boxes.Texts().first().startsWith(QStringLiteral("winsock error! 10061 ")),
                 qPrintable(f.boxes.Texts().first()));
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Error"));
        f.form->Timer1_Timer();
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Error"));
        QTest::mouseClick(f.ui().Command_disconnect, Qt::LeftButton);
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
    }

    void unknown_host_is_an_error()
    {
        Window_fixture f;
        f.ui().Text_host->setText(QStringLiteral("no-such-host.invalid"));
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f.boxes.Messages().size(), 1, 30000);
        // 11001 where the resolver says "no such name"; a machine without any name
        // service may report another failure, which is still an error with a number.
        const QRegularExpression error(QStringLiteral("^winsock error! [1-9]\\d* \\S"));
        QVERIFY2(error.match(f.boxes.Texts().first()).hasMatch(), qPrintable(f.boxes.Texts().first()));
        QCOMPARE(f.ui().Label_status->text(), QStringLiteral("Error"));
    }

    void a_server_that_hangs_up_is_closed_not_an_error()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        f.peer->disconnectFromHost();
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Closed"));
        QCOMPARE(f.connection()->Socket_state(), 0);
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void connect_twice_keeps_one_connection()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QTcpSocket *first = f.peer;
        QVERIFY(f.Connect());
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(f.peer->state(), QAbstractSocket::ConnectedState);
        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        QVERIFY(f.Peer_read(24).endsWith(" Velantra Start%"));
        // Connect while the first attempt is still being made.
        f.connection()->Set_remote_port(Closed_port());
        QTest::mouseClick(f.ui().Command_connect, Qt::LeftButton);
        f.connection()->Set_remote_port(f.server.serverPort());
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.ui().Label_status->text(), QStringLiteral("Connected"));
        QVERIFY(f.boxes.Messages().isEmpty()); // the abandoned attempt reports nothing
    }

    void exact_bytes_on_the_wire()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d "));

        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        QByteArray bytes = f.Peer_read(24);
        QCOMPARE(bytes.size(), 24);
        QVERIFY(stamp.match(QString::fromLatin1(bytes)).hasMatch());
        QCOMPARE(bytes.mid(8), QByteArray(" Velantra Start%"));

        f.connection()->Send_Start_Command(); // the hardware trigger's way in
        QCOMPARE(f.Peer_read(24).mid(8), QByteArray(" Velantra Start%"));

        f.ui().Text_to_send->setFocus();
        QTest::mouseClick(f.ui().Command_abort, Qt::LeftButton);
        QCOMPARE(f.Peer_read(24).mid(8), QByteArray(" Velantra Abort%"));
        QVERIFY(f.ui().Command_start->hasFocus());

        f.ui().Text_to_send->setText(QStringLiteral("50% done \u20AC \u03A9"));
        QTest::mouseClick(f.ui().Command_send, Qt::LeftButton);
        bytes = f.Peer_read(9 + 13);
        QCOMPARE(bytes.mid(8), QByteArray(" 50% done \x80 ?%"));
        QVERIFY(f.ui().Command_start->hasFocus());
        QCOMPARE(f.ui().Text_to_send->text(), QStringLiteral("50% done \u20AC \u03A9"));
        const QString logged = f.connection()->Text_to_goal_log().Text_line(1);
        QCOMPARE(logged, QString::fromLatin1(bytes.left(8)) + QStringLiteral(" 50% done \u20AC \u03A9"));
        QCOMPARE(f.ui().Text_to_goal->toPlainText(), logged + QLatin1Char('\n'));

        f.ui().Text_to_send->clear();
        QTest::mouseClick(f.ui().Command_send, Qt::LeftButton);
        QCOMPARE(f.Peer_read(10).mid(8), QByteArray(" %"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void nothing_is_sent_while_not_connected()
    {
        Window_fixture f;
        QTest::mouseClick(f.ui().Command_start, Qt::LeftButton);
        QTest::mouseClick(f.ui().Command_abort, Qt::LeftButton);
        QCOMPARE(f.boxes.Texts(), (QStringList{"not Connected!", "not Connected!"}));
        QCOMPARE(f.connection()->Text_to_goal_log().Num_Used_Lines(), qint16(0));
        f.ui().Text_to_send->setText(QStringLiteral("ready"));
        QTest::mouseClick(f.ui().Command_send, Qt::LeftButton);
        QCOMPARE(f.boxes.Texts().size(), 3);
        QCOMPARE(f.connection()->Text_to_goal_log().Num_Used_Lines(), qint16(1));
        QVERIFY(f.connection()->Text_to_goal_log().Text_line(1).endsWith(QStringLiteral(" ready")));
    }

    void program_exit_closes_the_connection()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        f.connection()->Close_socket();
        QTRY_COMPARE(f.peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(f.connection()->Socket_state(), 0);
    }

    void log_boxes_refuse_typing_with_a_beep()
    {
        Window_fixture f;
        for (QPlainTextEdit *box : {f.ui().Text_to_goal, f.ui().Text_from_goal}) {
            f.beeps = 0;
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("ab1."));
            QTest::keyClick(box, Qt::Key_Backspace);
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(f.beeps, 7);
            QTest::keyClick(box, Qt::Key_Down); // moving is not typing
            QCOMPARE(f.beeps, 7);
            QCOMPARE(box->toPlainText(), QString());
        }
    }

    void right_click_fills_in_the_test_message()
    {
        Window_fixture f;
        QLineEdit *text = f.ui().Text_to_send;
        QTest::mouseClick(text, Qt::LeftButton);
        QCOMPARE(text->text(), QString());
        QTest::mouseClick(text, Qt::RightButton);
        QCOMPARE(text->text(), QStringLiteral("This is a test message from starter!"));
    }

    void linescroll_scrolls_up_and_leaves_the_focus()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QByteArray block;
        for (int i = 1; i <= 10; ++i)
            block += "line " + QByteArray::number(i) + "%";
        QVERIFY(f.Server_send(block));
        f.ui().Text_to_send->setFocus();
        QScrollBar *bar = f.ui().Text_from_goal->verticalScrollBar();
        const int before = bar->value();
        QVERIFY(before > 0);
        f.ui().item_linescroll->trigger();
        QCOMPARE(bar->value(), before - 1);
        QVERIFY(f.ui().Text_to_send->hasFocus());
    }
};

QTEST_MAIN(Tst_connection)
#include "tst_connection.moc"
