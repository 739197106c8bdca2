// The rolling buffer behind the message logs, quirks included.

#include "message_log/class_rolling_text.h"

#include <QTest>

#include <stdexcept>

namespace {
QStringList Lines_of(const Class_rolling_text &buffer)
{
    QStringList lines;
    for (qint16 i = 1; i <= buffer.Num_Used_Lines(); ++i)
        lines << buffer.Text_line(i);
    return lines;
}
} // namespace

class Tst_rolling_text : public QObject
{
    Q_OBJECT
private slots:
    void keeps_the_newest_lines_oldest_first()
    {
        Class_rolling_text buffer; // before Set_Lines only the count works
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Add_Line(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(1));
        QCOMPARE(buffer.Num_Used_Lines(), qint16(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Set_Lines(0));
        buffer.Set_Lines(10);
        for (int i = 1; i <= 3; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        // Until it is full, slots are read directly: above the count but within the capacity is empty.
        QCOMPARE(buffer.Text_line(1), QStringLiteral("L1"));
        QCOMPARE(buffer.Text_line(7), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(11));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(0));
        for (int i = 4; i <= 12; ++i)
            buffer.Add_Line(QStringLiteral("L%1").arg(i));
        QCOMPARE(buffer.Full(), true);
        QCOMPARE(buffer.Cur_Line(), qint16(2)); // wrapped on the eleventh
        QCOMPARE(Lines_of(buffer), (QStringList{"L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10", "L11", "L12"}));
        QCOMPARE(buffer.Text_line(0), QStringLiteral("L12")); // the newest, through the wrap arithmetic
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(-3));
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

QTEST_MAIN(Tst_rolling_text)
#include "tst_rolling_text.moc"
