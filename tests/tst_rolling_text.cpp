// The rolling buffer behind the message logs, and how a log box shows it.

#include "message_log/class_rolling_text.h"
#include "message_log/display_lines.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <stdexcept>

namespace {
QStringList Lines_of(const Class_rolling_text &buffer)
{
    QStringList lines;
    for (qint16 i = 1; i <= buffer.Num_Used_Lines(); ++i)
        lines << buffer.Text_line(i);
    return lines;
}

void Add(Class_rolling_text &buffer, int from, int to)
{
    for (int i = from; i <= to; ++i)
        buffer.Add_Line(QStringLiteral("L%1").arg(i));
}
} // namespace

class Tst_rolling_text : public QObject
{
    Q_OBJECT
private slots:
    void before_Set_Lines_everything_but_the_count_fails()
    {
        Class_rolling_text buffer;
        QCOMPARE(buffer.Num_Used_Lines(), qint16(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Add_Line(QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(1));
        QCOMPARE(buffer.Num_Used_Lines(), qint16(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Set_Lines(0));
    }

    void fills_then_wraps_on_the_eleventh_line()
    {
        Class_rolling_text buffer;
        buffer.Set_Lines(10);
        QCOMPARE(buffer.Num_Used_Lines(), qint16(0));
        Add(buffer, 1, 10);
        QCOMPARE(buffer.Full(), false);
        QCOMPARE(buffer.Cur_Line(), qint16(10));
        Add(buffer, 11, 11);
        QCOMPARE(buffer.Full(), true);
        QCOMPARE(buffer.Cur_Line(), qint16(1));
        Add(buffer, 12, 12);
        QCOMPARE(buffer.Cur_Line(), qint16(2));
        QCOMPARE(buffer.Num_Used_Lines(), qint16(10));
        QStringList expected;
        for (int i = 3; i <= 12; ++i)
            expected << QStringLiteral("L%1").arg(i);
        QCOMPARE(Lines_of(buffer), expected);
        QCOMPARE(buffer.Text_line(0), QStringLiteral("L12")); // the newest, through the wrap arithmetic
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(-3));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(19));
    }

    void before_it_is_full_slots_read_directly()
    {
        Class_rolling_text buffer;
        buffer.Set_Lines(10);
        Add(buffer, 1, 3);
        QCOMPARE(buffer.Text_line(1), QStringLiteral("L1"));
        QCOMPARE(buffer.Text_line(7), QString()); // above the count, within the capacity
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(11));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, buffer.Text_line(0));
    }

    void Set_Lines_again_empties_but_keeps_position()
    {
        Class_rolling_text buffer;
        buffer.Set_Lines(10);
        Add(buffer, 1, 13); // full, Cur_Line 3
        buffer.Set_Lines(10);
        QCOMPARE(buffer.Cur_Line(), qint16(3));
        QCOMPARE(buffer.Full(), true);
        QCOMPARE(buffer.Num_Used_Lines(), qint16(10));
        buffer.Add_Line(QStringLiteral("new"));
        QCOMPARE(buffer.Cur_Line(), qint16(4));
        QStringList expected(9, QString());
        expected << QStringLiteral("new");
        QCOMPARE(Lines_of(buffer), expected);
    }

    void the_16_bit_counter_overflows_rather_than_wrapping()
    {
        Class_rolling_text buffer;
        buffer.Set_Lines(32767);
        for (int i = 0; i < 32767; ++i)
            buffer.Add_Line(QString());
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, buffer.Add_Line(QStringLiteral("one too many")));
        QCOMPARE(buffer.Cur_Line(), qint16(32767));
        QCOMPARE(buffer.Full(), false);
    }

    void the_box_shows_the_lines_oldest_first_newest_in_view()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *box = new QPlainTextEdit;
        auto *other = new QLineEdit;
        layout->addWidget(box);
        layout->addWidget(other);
        box->setFixedHeight(80);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();

        Class_rolling_text buffer;
        buffer.Set_Lines(10);
        Display_Lines(buffer, box);
        QCOMPARE(box->toPlainText(), QString());

        buffer.Add_Line(QStringLiteral("two\nrows"));
        Add(buffer, 1, 11);
        QCOMPARE(buffer.Num_Used_Lines(), qint16(10)); // the line with a break counts once
        Display_Lines(buffer, box);
        QString expected;
        for (int i = 2; i <= 11; ++i)
            expected += QStringLiteral("L%1\n").arg(i);
        QCOMPARE(box->toPlainText(), expected);
        // The empty line after the last break is scrolled just out of view.
        QScrollBar *bar = box->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum() - 1);
        QCOMPARE(QApplication::focusWidget(), other);
    }
};

QTEST_MAIN(Tst_rolling_text)
#include "tst_rolling_text.moc"
