#pragma once
// A fixed-capacity rolling buffer of text lines: keeps the most recent lines and
// hands them out oldest first. Behind both message logs of the main window.
//
// Counters are 16-bit like the stored logs always were; out-of-range slots and
// counter overflows are thrown to the caller (std::out_of_range,
// std::overflow_error), the buffer never handles them itself.

#include <QString>
#include <QVector>
#include <QtGlobal>

class Class_rolling_text
{
public:
    // Allocates capacity empty slots (1..capacity). Lines held before are lost;
    // Cur_Line and Full stay as they are, so the buffer wraps on where it stood.
    void Set_Lines(qint16 capacity);

    // Stores the line as the newest, over the oldest once the buffer is full.
    void Add_Line(const QString &line);

    // Number of lines held, at most the capacity.
    qint16 Num_Used_Lines() const;

    // The index-th oldest line (1 oldest, Num_Used_Lines newest). When full, the slot is
    // Cur_Line + index with one wrap, so index 0 reads the newest line.
    QString Text_line(qint16 index) const;

    qint16 Cur_Line() const { return cur_line_; }
    bool Full() const { return full_; }
    qint16 Capacity() const { return static_cast<qint16>(lines_.size()); }

private:
    const QString &Slot(int slot) const;

    QVector<QString> lines_; // slot n lives at lines_[n - 1]
    bool allocated_ = false;
    qint16 cur_line_ = 0;
    bool full_ = false;
};
