// The start protocol without a socket: the bytes of a message, the cutting of the
// received stream into lines, what a line and a block mean, the socket's state
// texts, and the rolling buffer behind both logs.

#include "connection/protocol.h"
#include "connection/winsock_state.h"
#include "message_log/class_rolling_text.h"
#include "support/test_support.h"

#include <QtTest>

#include <stdexcept>

class Tst_protocol : public QObject
{
    Q_OBJECT
private slots:
    void messages_on_the_wire()
    {
        QCOMPARE(Protocol::Frame(Protocol::Start_text(QStringLiteral("14:03:27"))), QByteArray("14:03:27 Velantra Start%"));
        QCOMPARE(Protocol::Frame(Protocol::Abort_text(QStringLiteral("14:03:27"))), QByteArray("14:03:27 Velantra Abort%"));
        // Windows-1252, "?" for what it lacks; a "%" in the text goes out as it is.
        QCOMPARE(Protocol::Frame(Protocol::Free_text(QStringLiteral("14:03:27"), QStringLiteral("50% caf\u00e9 \u20ac \u03a9"))),
                 QByteArray("14:03:27 50% caf\xe9 \x80 ?%"));
        QCOMPARE(Protocol::Frame(Protocol::Free_text(QStringLiteral("14:03:27"), QString())), QByteArray("14:03:27 %"));
    }

    // Each row's blocks are fed in turn; the lines are those of all of them, in order.
    void splitter_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("two lines") << QByteArrayList{"a%b%"} << QByteArrayList{"a", "b"} << QByteArray();
        QTest::newRow("empty pieces skipped") << QByteArrayList{"%a%%b%%"} << QByteArrayList{"a", "b"} << QByteArray();
        QTest::newRow("cut anywhere") << QByteArrayList{"Velantra Ac", "tive Heat/7/Re", "ady%x"}
                                      << QByteArrayList{"Velantra Active Heat/7/Ready"} << QByteArray("x");
        QTest::newRow("one byte at a time") << QByteArrayList{"a", "b", "%", "c"} << QByteArrayList{"ab"} << QByteArray("c");
        QTest::newRow("no terminator") << QByteArrayList{"last words"} << QByteArrayList{} << QByteArray("last words");
    }
    void splitter()
    {
        QFETCH(QByteArrayList, blocks);
        Line_splitter splitter;
        QByteArrayList lines;
        for (const QByteArray &block : blocks)
            lines += splitter.Feed(block);
        QTEST(lines, "lines");
        QFETCH(QByteArray, held);
        QCOMPARE(splitter.Holding(), !held.isEmpty());
        QCOMPARE(splitter.Take_held(), held);
        QVERIFY(!splitter.Holding());
    }

    void splitter_holds_a_bounded_piece()
    {
        Line_splitter splitter;
        QByteArrayList lines = splitter.Feed(QByteArray(Line_splitter::Max_held, 'z'));
        QVERIFY(lines.isEmpty() && splitter.Holding());
        lines = splitter.Feed("zz"); // one byte past the bound: handed out as a line
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].size(), Line_splitter::Max_held + 2);
        QVERIFY(!splitter.Holding());
    }

    void heat_lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("heat");
        QTest::addColumn<QString>("fields"); // id/status; "-" for a field the line lacks
        QTest::newRow("active heat") << "Velantra Active Heat/7/Ready" << true << "7/Ready";
        QTest::newRow("start") << "x/7/Start" << true << "7/Start";
        QTest::newRow("abort, more fields") << "x/8/Abort/extra" << true << "8/Abort";
        QTest::newRow("two fields") << "Velantra Active Heat/9" << true << "9/-";
        QTest::newRow("one field") << "Velantra Active Heat" << true << "-/-";
        QTest::newRow("case counts") << "velantra active heat/9/abort" << false << "9/abort";
        QTest::newRow("free text") << "finish line ready" << false << "-/-";
    }
    void heat_lines()
    {
        QFETCH(QString, line);
        QTEST(Protocol::Is_heat_line(line), "heat");
        const Protocol::Heat_fields heat = Protocol::Split_heat_line(line);
        QTEST(heat.id.value_or(QStringLiteral("-")) + '/' + heat.status.value_or(QStringLiteral("-")), "fields");
    }

    void ring_and_beep_act_on_the_block()
    {
        QVERIFY(Protocol::Block_rings("a%\xA4\xA4%") && !Protocol::Block_beeps("a%\xA4\xA4%"));
        QVERIFY(Protocol::Block_beeps("x%%#") && !Protocol::Block_rings("x%%#"));
    }

    void state_texts_and_error_numbers()
    {
        const QStringList texts{"Closed", "Open", "Status : 2", "Status : 3", "Status : 4", "Status : 5",
                                "Connecting", "Connected", "Peer closing", "Error", "Status : 10"};
        for (int state = 0; state < texts.size(); ++state)
            QCOMPARE(Winsock::Status_text(state), texts[state]);
        QCOMPARE(Winsock::State_of(QAbstractSocket::HostLookupState), 4);
        QCOMPARE(Winsock::State_of(QAbstractSocket::ClosingState), 8);
        QCOMPARE(Winsock::Error_number(QAbstractSocket::ConnectionRefusedError), 10061);
        for (int error = QAbstractSocket::UnknownSocketError; error <= QAbstractSocket::OperationError; ++error)
            QVERIFY(Winsock::Error_number(QAbstractSocket::SocketError(error)) != 0); // a number means an error
    }

    void rolling_buffer_keeps_the_newest_lines_oldest_first() // quirks included
    {
        Class_rolling_text buffer; // before Set_Lines only the count works
        QCOMPARE(buffer.Num_Used_Lines(), qint16(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Add_Line(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Set_Lines(0));
        buffer.Set_Lines(10);
        for (int i = 1; i <= 3; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        // Until it is full, slots are read directly: above the count but within the capacity is empty.
        QCOMPARE(buffer.Text_line(7), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(11));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(0));
        for (int i = 4; i <= 10; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        QVERIFY(!buffer.Full() && buffer.Cur_Line() == 10);
        buffer.Add_Line(QStringLiteral("L11"));
        buffer.Add_Line(QStringLiteral("L12"));
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
};

QTEST_GUILESS_MAIN(Tst_protocol)
#include "tst_protocol.moc"
