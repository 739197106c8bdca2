// The protocol's pure functions, as tables: the bytes of a message, the cutting of the
// received stream into lines and what a line shows. (What a block rings or beeps is
// counted through a socket, in tst_connection_core.)

#include "core/connection/protocol.h"
#include "core/shared/ansi_text.h"

#include <QTextCodec>
#include <QtTest>

using Bytes = QList<QByteArray>;

class Tst_protocol : public QObject
{
    Q_OBJECT
private slots:
    void message_bytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        const QString at = QStringLiteral("12:00:01");
        QTest::newRow("start") << Protocol::Start_text(at) << QByteArray("12:00:01 Velantra Start%");
        // Unescaped: the server reads two messages, as it always has.
        QTest::newRow("free text with %") << Protocol::Free_text(at, QStringLiteral("a%b")) << QByteArray("12:00:01 a%b%");
    }
    void message_bytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(Protocol::Frame(text), wire);
    }

    void lines_data()
    {
        QTest::addColumn<Bytes>("blocks");
        QTest::addColumn<Bytes>("lines");
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("an empty piece is skipped") << Bytes{"a%%b%"} << Bytes{"a", "b"} << QByteArray();
        QTest::newRow("no terminator: held") << Bytes{"line"} << Bytes{} << QByteArray("line");
        QTest::newRow("a line over two reads") << Bytes{"ab", "c%d"} << Bytes{"abc"} << QByteArray("d");
        QTest::newRow("terminators only") << Bytes{"%%", "%"} << Bytes{} << QByteArray();
        const QByteArray flood(Line_splitter::Max_held + 1, 'x');
        QTest::newRow("past the bound: out as a line") << Bytes{flood} << Bytes{flood} << QByteArray();
        QTest::newRow("the bound counts what was held")
            << Bytes{QByteArray(Line_splitter::Max_held, 'x'), "yz"}
            << Bytes{QByteArray(Line_splitter::Max_held, 'x') + "yz"} << QByteArray();
    }
    void lines()
    {
        QFETCH(Bytes, blocks);
        QFETCH(Bytes, lines);
        QFETCH(QByteArray, held);
        Line_splitter splitter;
        Bytes got;
        for (const QByteArray &block : blocks)
            got += splitter.Feed(block);
        QCOMPARE(got, lines);
        QCOMPARE(splitter.Holding(), !held.isEmpty());
        QCOMPARE(splitter.Take_held(), held);
        QVERIFY(!splitter.Holding());
    }

    void heat_lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("heat");
        QTest::addColumn<QStringList>("fields"); // id and status where the line has them
        QTest::newRow("active heat") << QString("Velantra Active Heat/7/Ready") << true << QStringList{"7", "Ready"};
        QTest::newRow("start") << QString("x/7/Start") << true << QStringList{"7", "Start"};
        QTest::newRow("abort, more fields") << QString("x/12/Abort/y") << true << QStringList{"12", "Abort"};
        QTest::newRow("case-sensitive") << QString("velantra active heat/7/Ready") << false << QStringList{"7", "Ready"};
        QTest::newRow("lower-case start") << QString("x/7/start") << false << QStringList{"7", "start"};
        QTest::newRow("empty fields") << QString("//Start") << true << QStringList{"", "Start"};
    }
    void heat_lines()
    {
        QFETCH(QString, line);
        QFETCH(bool, heat);
        QFETCH(QStringList, fields);
        QCOMPARE(Protocol::Is_heat_line(line), heat);
        const Protocol::Heat_fields split = Protocol::Split_heat_line(line);
        QStringList got;
        for (const std::optional<QString> &field : {split.id, split.status})
            if (field)
                got << *field;
        QCOMPARE(got, fields);
    }

    // Received bytes read as the code page has them, each byte alone or in a run,
    // whatever byte stands before it; sent text goes out as the code page has it.
    void received_bytes_decode_as_the_code_page()
    {
        QTextCodec *codec = QTextCodec::codecForName("Windows-1252");
        QVERIFY(codec);
        QByteArray all;
        QString expected;
        for (int b = 255; b >= 0; --b) {
            const QByteArray one(1, char(b));
            QCOMPARE(From_Ansi(one), codec->toUnicode(one));
            all += one;
            expected += codec->toUnicode(one);
        }
        QCOMPARE(From_Ansi(all), expected);
        // And back: every character of the code page to its byte, any other as the codec has it.
        QCOMPARE(To_Ansi(expected), codec->fromUnicode(expected));
        const QString lacking = expected + QString::fromUtf8("\u4e2d \U0001F600 \u0100 \u200e\U000E0041") + QChar(0xD800) + u'x';
        QCOMPARE(To_Ansi(lacking), codec->fromUnicode(lacking));
    }
};

QTEST_GUILESS_MAIN(Tst_protocol)
#include "tst_protocol.moc"
