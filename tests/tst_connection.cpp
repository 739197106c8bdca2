// The main window against a loopback server of the test's own, and once against the
// simulator program: connecting, the status text, the exact bytes sent, what is done
// with what the server sends, and the log boxes with the rolling buffer behind them.

#include "connection/remote_connection.h"
#include "connection/winsock_state.h"
#include "main_window/form_remotestart.h"
#include "main_window/shape_circle.h"
#include "message_log/class_rolling_text.h"
#include "shared/platform.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <stdexcept>

namespace {
QStringList Lines_of(const Class_rolling_text &buffer)
{
    QStringList lines;
    for (qint16 i = 1; i <= buffer.Num_Used_Lines(); ++i)
        lines << buffer.Text_line(i);
    return lines;
}

struct Beep_counter final : System_beep
{
    void Beep() override { ++beeps; }
    int beeps = 0;
};

// The window wired to a loopback server, with message boxes, beeps and rings recorded.
struct Window_fixture
{
    Window_fixture()
    {
        form->Form_Load();
        server.listen(QHostAddress::LocalHost, 0);
        connection()->Set_remote_port(server.serverPort());
        Text_host->setText(QStringLiteral("127.0.0.1"));
        form->show();
        (void)QTest::qWaitForWindowActive(form);
    }
    ~Window_fixture()
    {
        delete form.data(); // before the recorders it reports to
    }
    Remote_connection *connection() const { return form->Connection(); }

    // Presses Connect and waits until both ends see the connection; peer is the server's end.
    bool Connect()
    {
        QTest::mouseClick(Command_connect, Qt::LeftButton);
        peer = server.waitForNewConnection(5000) || server.hasPendingConnections() ? server.nextPendingConnection() : nullptr;
        return peer && QTest::qWaitFor([this] { return connection()->Socket_state() == 7; }, 5000);
    }
    QByteArray Peer_read(int n) // all the peer receives, once it holds n bytes
    {
        QByteArray bytes;
        (void)QTest::qWaitFor([&] { return (bytes += peer->readAll()).size() >= n; }, 5000);
        return bytes;
    }
    bool Server_send(const QByteArray &block) // and wait until the client handled it as one read
    {
        const qint64 before = connection()->Stats().blocks;
        peer->write(block);
        return QTest::qWaitFor([&] { return connection()->Stats().blocks > before; }, 5000);
    }
    QStringList Lines() const { return Lines_of(connection()->Text_from_goal_log()); }
    QString Heat() const { return Label_active_heat->text() + '/' + Label_heat_status->text(); }

    Isolated_user_dirs dirs;
    Message_recorder boxes;
    Beep_counter beep_counter;
    Scoped_facility<System_beep> use_beep_counter{beep_counter};
    int &beeps = beep_counter.beeps;
    Sound_recorder sound; // the ring tone
    QPointer<Form_remotestart> form = new Form_remotestart;
    // The window's controls, found by their names.
    QPushButton *const Command_Phidget_Active = Find<QPushButton>(form, "Command_Phidget_Active");
    QPushButton *const Command_abort = Find<QPushButton>(form, "Command_abort");
    QPushButton *const Command_connect = Find<QPushButton>(form, "Command_connect");
    QPushButton *const Command_disconnect = Find<QPushButton>(form, "Command_disconnect");
    QPushButton *const Command_send = Find<QPushButton>(form, "Command_send");
    QPushButton *const Command_start = Find<QPushButton>(form, "Command_start");
    QGroupBox *const Frame_Phidget = Find<QGroupBox>(form, "Frame_Phidget");
    QGroupBox *const Frame_phidget_control = Find<QGroupBox>(form, "Frame_phidget_control");
    QLabel *const Label_active_heat = Find<QLabel>(form, "Label_active_heat");
    QLabel *const Label_heat_status = Find<QLabel>(form, "Label_heat_status");
    QLabel *const Label_status = Find<QLabel>(form, "Label_status");
    QPlainTextEdit *const Text_from_goal = Find<QPlainTextEdit>(form, "Text_from_goal");
    QLineEdit *const Text_host = Find<QLineEdit>(form, "Text_host");
    QPlainTextEdit *const Text_to_goal = Find<QPlainTextEdit>(form, "Text_to_goal");
    QLineEdit *const Text_to_send = Find<QLineEdit>(form, "Text_to_send");
    QAction *const item_linescroll = Find<QAction>(form, "item_linescroll");
    QTcpServer server;
    QTcpSocket *peer = nullptr;
};

QString Digits_masked(const QByteArray &sent)
{
    return QString::fromLatin1(sent).replace(QRegularExpression(QStringLiteral("\\d")), QStringLiteral("9"));
}

// A point of the widget where none of its children lies.
QPoint Bare_point(QWidget *widget)
{
    const QRect inside = widget->contentsRect();
    for (int y = inside.top() + 2; y < inside.bottom(); y += 4)
        for (int x = inside.left() + 2; x < inside.right(); x += 4)
            if (!widget->childAt(x, y))
                return {x, y};
    return {};
}

quint16 Closed_port() // a loopback port where nothing listens
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
    void rolling_buffer_keeps_the_newest_lines_oldest_first() // quirks included
    {
        Class_rolling_text buffer; // before Set_Lines only the count works
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Add_Line(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Set_Lines(0));
        buffer.Set_Lines(10);
        for (int i = 1; i <= 3; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        // Until it is full, slots are read directly: above the count but within the capacity is empty.
        QCOMPARE(buffer.Text_line(7), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(11));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(0));
        for (int i = 4; i <= 12; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        QCOMPARE(buffer.Full(), true);
        QCOMPARE(buffer.Cur_Line(), qint16(2)); // wrapped on the eleventh
        QCOMPARE(Lines_of(buffer), (QStringList{"L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10", "L11", "L12"}));
        QCOMPARE(buffer.Text_line(0), QStringLiteral("L12")); // the newest, through the wrap arithmetic
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(19));
        // Set_Lines again empties the slots but keeps Cur_Line and Full.
        buffer.Set_Lines(10);
        buffer.Add_Line(QStringLiteral("new"));
        QCOMPARE(buffer.Cur_Line(), qint16(3));
        QCOMPARE(Lines_of(buffer), QStringList(9, QString()) << QStringLiteral("new"));

        Class_rolling_text big; // the 16-bit counter overflows rather than wrapping
        big.Set_Lines(32767);
        for (int i = 0; i < 32767; ++i)
            big.Add_Line(QString());
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, big.Add_Line(QStringLiteral("one too many")));
        QCOMPARE(big.Cur_Line(), qint16(32767));
        QCOMPARE(big.Full(), false);
    }

    void offline_nothing_is_sent_and_the_log_boxes_refuse_typing()
    {
        Window_fixture f;
        QTest::mouseClick(f.Text_to_send, Qt::RightButton);
        QTest::mouseClick(f.Command_send, Qt::LeftButton);
        QTest::mouseClick(f.Command_start, Qt::LeftButton);
        QTest::mouseClick(f.Command_abort, Qt::LeftButton);
        QCOMPARE(f.boxes.Texts(), QStringList(3, QStringLiteral("not Connected!")));
        QCOMPARE(f.Text_to_goal->toPlainText().mid(8), QStringLiteral(" This is a test message from starter!\n")); // alone
        for (QPlainTextEdit *box : {f.Text_to_goal, f.Text_from_goal}) {
            f.beeps = 0;
            const QString before = box->toPlainText();
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("ab1."));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Down}) // moving is not typing
                QTest::keyClick(box, key);
            QCOMPARE(f.beeps, 7);
            QCOMPARE(box->toPlainText(), before);
        }
    }

    void one_connection_and_the_exact_bytes_on_the_wire()
    {
        Window_fixture f;
        // Connect while the first attempt is still being made: the abandoned one reports nothing.
        f.connection()->Set_remote_port(Closed_port());
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        f.connection()->Set_remote_port(f.server.serverPort());
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Connected"));
        QTcpSocket *first = f.peer; // and while connected
        QVERIFY(f.Connect());
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        QTest::mouseClick(f.Command_start, Qt::LeftButton);
        QCOMPARE(Digits_masked(f.Peer_read(24)), QStringLiteral("99:99:99 Velantra Start%"));
        f.Text_to_send->setFocus();
        QTest::mouseClick(f.Command_abort, Qt::LeftButton);
        QCOMPARE(f.Peer_read(24).mid(8), QByteArray(" Velantra Abort%"));
        QVERIFY(f.Command_start->hasFocus());
        const QString text = QStringLiteral("50% done \u20AC \u03A9");
        f.Text_to_send->setText(text);
        QTest::mouseClick(f.Command_send, Qt::LeftButton);
        const QByteArray sent = f.Peer_read(22);
        QCOMPARE(sent.mid(8), QByteArray(" 50% done \x80 ?%"));
        QCOMPARE(f.Text_to_goal->toPlainText(), QString::fromLatin1(sent.left(8)) + ' ' + text + '\n');
        QTest::mouseClick(f.Command_disconnect, Qt::LeftButton);
        QCOMPARE(f.Label_status->text(), QStringLiteral("Closed"));
        QTRY_COMPARE(f.peer->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void status_texts_of_every_state()
    {
        const QStringList texts{"Closed", "Open", "Status : 2", "Status : 3", "Status : 4", "Status : 5",
                                "Connecting", "Connected", "Peer closing", "Error", "Status : 10"};
        for (int state = 0; state < texts.size(); ++state)
            QCOMPARE(Winsock::Status_text(state), texts[state]);
        QCOMPARE(Winsock::State_of(QAbstractSocket::HostLookupState), 4);
        QCOMPARE(Winsock::State_of(QAbstractSocket::ClosingState), 8);

        // A name is resolved first; a click on the status shows what changed without an event.
        Window_fixture f;
        f.Text_host->setText(QStringLiteral("localhost"));
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        QCOMPARE(f.Label_status->text(), QStringLiteral("Status : 4"));
        QTRY_COMPARE(f.connection()->Socket_state(), 7);
        f.Label_status->setText(QStringLiteral("Idle"));
        QTest::mouseClick(f.Label_status, Qt::LeftButton);
        QCOMPARE(f.Label_status->text(), QStringLiteral("Connected"));
    }

    void a_click_on_a_frame_or_label_leaves_the_focus_in_the_text_box()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QWidget *client = f.form->centralWidget();
        QTest::mouseClick(f.Text_to_send, Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ready"));
        for (QWidget *control : client->findChildren<QWidget *>()) {
            if (!control->isVisibleTo(f.form) || !(qobject_cast<QGroupBox *>(control) || qobject_cast<QLabel *>(control)))
                continue;
            QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
            if (qobject_cast<QGroupBox *>(control)) {
                QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(12, 3)); // on the caption
                QTest::mouseClick(control, Qt::LeftButton, {}, Bare_point(control));
            }
            QVERIFY2(f.Text_to_send->hasFocus(), qPrintable(control->objectName()));
        }
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" set go")); // a Space on Start would start
        QCOMPARE(f.Text_to_send->text(), QStringLiteral("ready set go"));
        QTest::mouseClick(f.Command_send, Qt::LeftButton);
        QCOMPARE(Digits_masked(f.Peer_read(21)), QStringLiteral("99:99:99 ready set go%")); // and nothing before it
        f.Text_to_send->setFocus();
        QTest::mouseClick(client, Qt::LeftButton, {}, Bare_point(client)); // Form_Click
        QVERIFY(f.Command_start->hasFocus());
    }

    void return_and_enter_press_the_focused_button_once()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QVERIFY(f.Command_start->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true); // repeats of a held key
        QCoreApplication::sendEvent(f.Command_start, &held);
        for (QLineEdit *box : {f.Text_host, f.Text_to_send}) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
        }
        QTest::mouseClick(f.Command_abort, Qt::LeftButton); // marks the end
        QCOMPARE(Digits_masked(f.Peer_read(72)),
                 QStringLiteral("99:99:99 Velantra Start%99:99:99 Velantra Start%99:99:99 Velantra Abort%"));

        // Every push button of the window answers alike; the arm button once a board is there.
        f.Frame_Phidget->setEnabled(true);
        f.Frame_phidget_control->show();
        for (QPushButton *button : {f.Command_abort, f.Command_send, f.Command_connect,
                                    f.Command_disconnect, f.Command_Phidget_Active}) {
            QSignalSpy clicked(button, &QAbstractButton::clicked);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            QVERIFY2(clicked.count() == 1, qPrintable(button->objectName()));
        }
        QCOMPARE(f.Command_Phidget_Active->text(), QStringLiteral("Armed"));
    }

    void ctrl_x_cuts_in_a_text_box_and_ends_the_program_elsewhere()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        for (QLineEdit *box : {f.Text_to_send, f.Text_host}) {
            box->setFocus();
            box->setText(QStringLiteral("ready"));
            box->selectAll();
            QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
            QCOMPARE(box->text(), QString());
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ready"));
        }
        QVERIFY(!f.form->Exit_requested());
        QCOMPARE(f.connection()->Socket_state(), 7);
        f.Command_start->setFocus();
        QTest::keyClick(f.Command_start, Qt::Key_X, Qt::ControlModifier);
        QVERIFY(f.form->Exit_requested());
        QTRY_COMPARE(f.peer->state(), QAbstractSocket::UnconnectedState); // the server sees the close
        QTRY_VERIFY(f.form.isNull());
    }

    void failed_connect_stays_in_error()
    {
        Window_fixture f;
        f.connection()->Set_remote_port(Closed_port());
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.boxes.Messages().size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^winsock error! 10061 \\S")).match(f.boxes.Texts().first()).hasMatch(),
                 qPrintable(f.boxes.Texts().first()));
        QCOMPARE(f.Label_status->text(), QStringLiteral("Error"));
        QEvent activate(QEvent::WindowActivate); // Form_Activate reads the state anew
        QCoreApplication::sendEvent(f.form, &activate);
        QCOMPARE(f.Label_status->text(), QStringLiteral("Error"));
        QTest::mouseClick(f.Command_disconnect, Qt::LeftButton);
        QCOMPARE(f.Label_status->text(), QStringLiteral("Closed"));
    }

    // Each block is sent and handled as one read before the next one goes.
    void blocks_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");
        QTest::addColumn<QString>("logged"); // the From-goal box
        QTest::addColumn<QString>("heat");   // id/status
        QTest::addColumn<QString>("sounds"); // rings/beeps
        QTest::newRow("a%%b%, 1252, sounds once per block") << QByteArrayList{"a%%\x80 caf\xE9#%", "\xA4\xA4%", "\xA4#%#%"}
            << "a\n\u20AC caf\u00E9#\n\u00A4\u00A4\n\u00A4#\n#\n" << "/" << "2/2";
        QTest::newRow("split heat line, start, abort")
            << QByteArrayList{"Velantra Active He", "at/7/Ready%x/7/Start%", "x/7/Abort%"}
            << "Velantra Active Heat/7/Ready\nx/7/Start\nx/7/Abort\n" << "7/Abort" << "0/0";
        QTest::newRow("short, lower-case, markup is text") // a short heat line keeps the status
            << QByteArrayList{"Velantra Active Heat/3/&lt;Go&gt;%Velantra Active Heat/<b>4<br>%"
                              "Velantra Active Heat%velantra active heat/9/abort%"}
            << "Velantra Active Heat/3/&lt;Go&gt;\nVelantra Active Heat/<b>4<br>\nVelantra Active Heat\n"
               "velantra active heat/9/abort\n" << "<b>4<br>/&lt;Go&gt;" << "0/0";
    }
    void blocks()
    {
        QFETCH(QByteArrayList, blocks);
        Window_fixture f;
        QVERIFY(f.Connect());
        f.connection()->Set_grace_ms(60000); // a split line is joined however slow the machine
        for (const QByteArray &block : blocks)
            QVERIFY(f.Server_send(block));
        QTEST(f.Text_from_goal->toPlainText(), "logged");
        QTEST(f.Heat(), "heat");
        QVERIFY(f.Label_active_heat->textFormat() == Qt::PlainText && f.Label_heat_status->textFormat() == Qt::PlainText);
        QTEST(QStringLiteral("%1/%2").arg(f.sound.played.size()).arg(f.beeps), "sounds");
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void unterminated_lines_show_after_a_pause_a_flood_or_a_hang_up()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        f.Text_to_send->setFocus();
        f.connection()->Set_grace_ms(60000);
        QVERIFY(f.Server_send("0%1%2%3%4%5%6%7%8%first%Velantra Active Heat/5/Re"));
        f.connection()->Set_grace_ms(Remote_connection::Grace_ms);
        QVERIFY(f.Server_send("ady"));
        QTRY_COMPARE(f.Lines().join(' '), QStringLiteral("1 2 3 4 5 6 7 8 first Velantra Active Heat/5/Ready")); // the last ten
        QCOMPARE(f.Heat(), QStringLiteral("5/Ready"));
        // The newest is at the bottom; linescroll moves up one and leaves the focus be.
        QScrollBar *bar = f.Text_from_goal->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum() - 1);
        f.item_linescroll->trigger();
        QCOMPARE(bar->value(), bar->maximum() - 2);
        QVERIFY(f.Text_to_send->hasFocus());

        f.peer->write(QByteArray(150 * 1024, 'z') + "%ok%");
        QTRY_COMPARE(f.Lines().constLast(), QStringLiteral("ok"));
        const QStringList pieces = f.Lines().filter(QStringLiteral("z"));
        for (const QString &piece : pieces)
            QVERIFY(piece.size() <= 2 * Line_splitter::Max_held);
        QCOMPARE(pieces.join(QString()).size(), 150 * 1024);

        // A server that hangs up is the closed event, not an error.
        f.peer->write("last words");
        f.peer->disconnectFromHost();
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Closed"));
        QCOMPARE(f.Lines().constLast(), QStringLiteral("last words"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void a_start_through_the_simulator()
    {
        QProcess sim; // its object kills it if the test fails
        QString printed;
        const auto wait_for = [&](const char *pattern) {
            const QRegularExpression expected{QLatin1String(pattern)};
            (void)QTest::qWaitFor([&] { return expected.match(printed += QString::fromUtf8(sim.readAll())).hasMatch(); }, 5000);
            return expected.match(printed);
        };
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(QStringLiteral(VELANTRA_TIMING_SIM), {"--port", "0", "--heat", "41"});
        const quint16 port = wait_for("Listening on 127\\.0\\.0\\.1:(\\d+)").captured(1).toUShort();
        QVERIFY2(port != 0, qPrintable(printed));
        Window_fixture f;
        f.connection()->Set_remote_port(port);
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.Heat(), QStringLiteral("41/Ready"));
        QTest::mouseClick(f.Command_start, Qt::LeftButton);
        QTRY_COMPARE(f.Heat(), QStringLiteral("41/Start"));
        QVERIFY(wait_for("<- 127\\.0\\.0\\.1:\\d+: \\d\\d:\\d\\d:\\d\\d Velantra Start\n").hasMatch());

        // A second client that sends rubbish and leaves disturbs nothing.
        QTcpSocket other;
        other.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(other.waitForConnected(5000));
        other.write(QByteArray(100 * 1024, '\xFF') + QByteArray("%\0\1%unterminated", 16));
        other.disconnectFromHost();
        QVERIFY(wait_for("disconnected \\(1 client").hasMatch());

        sim.write("/next\nfinish line ready \xC2\xA4 #\n");
        QTRY_COMPARE(f.Lines().constLast(), QStringLiteral("finish line ready \u00A4 #"));
        QTest::mouseClick(f.Command_abort, Qt::LeftButton); // for the next heat
        QTRY_COMPARE(f.Heat(), QStringLiteral("42/Abort"));
        sim.write("/quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Closed"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_connection)
#include "tst_connection.moc"
