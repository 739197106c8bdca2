// The quirks of the rolling buffer behind both logs. The bytes of a message, the cutting
// of the stream into lines and what a line means are shown through a socket
// (tst_connection_core) and by the fuzz targets, which also hold the buffer to the
// newest lines, oldest first.

#include "core/message_log/class_rolling_text.h"
#include "core/shared/ansi_text.h"
#include "support/test_support.h"

#include <QTextCodec>
#include <QtTest>

#include <stdexcept>

class Tst_protocol : public QObject
{
    Q_OBJECT
private slots:
    void rolling_buffer_throws_where_it_would_overrun()
    {
        Class_rolling_text buffer; // before Set_Lines only the count works
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Add_Line(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Set_Lines(0));
        buffer.Set_Lines(10);
        for (int i = 1; i <= 12; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        QCOMPARE(buffer.Text_line(0), QStringLiteral("L12")); // the newest, through the wrap arithmetic
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(19));
        // Set_Lines again empties the slots but keeps Cur_Line and Full.
        buffer.Set_Lines(10);
        buffer.Add_Line(QStringLiteral("new"));
        QCOMPARE(Lines_of(buffer), QStringList(9, QString()) << QStringLiteral("new"));

        Class_rolling_text big; // the 16-bit counter overflows rather than wrapping
        big.Set_Lines(32767);
        for (int i = 0; i < 32767; ++i)
            big.Add_Line(QString());
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, big.Add_Line(QStringLiteral("one too many")));
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
        const QString lacking = expected + QString::fromUtf8("\u4e2d \U0001F600 \u0100") + QChar(0xD800) + u'x';
        QCOMPARE(To_Ansi(lacking), codec->fromUnicode(lacking));
        QCOMPARE(From_Ansi("\x80\xA4%"), QString::fromUtf8("\u20ac\u00a4%"));
        QCOMPARE(From_Ansi(QByteArray()), QString());
    }
};

QTEST_GUILESS_MAIN(Tst_protocol)
#include "tst_protocol.moc"
