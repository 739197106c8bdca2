#include "core/message_log/class_rolling_text.h"

#include <limits>
#include <stdexcept>

namespace {

qint16 Add16(int a, int b)
{
    const int sum = a + b;
    if (sum > std::numeric_limits<qint16>::max() || sum < std::numeric_limits<qint16>::min())
        throw std::overflow_error("Overflow");
    return static_cast<qint16>(sum);
}

} // namespace

void Class_rolling_text::Set_Lines(qint16 capacity)
{
    if (capacity < 1)
        throw std::out_of_range("Subscript out of range");
    lines_ = QVector<QString>(capacity);
    allocated_ = true;
}

void Class_rolling_text::Add_Line(const QString &line)
{
    if (!allocated_)
        throw std::out_of_range("Subscript out of range");
    qint16 next = Add16(cur_line_, 1);
    if (next > Capacity()) {
        next = 1;
        full_ = true;
    }
    cur_line_ = next;
    lines_[cur_line_ - 1] = line;
}

qint16 Class_rolling_text::Num_Used_Lines() const
{
    return full_ ? Capacity() : cur_line_;
}

QString Class_rolling_text::Text_line(qint16 index) const
{
    int slot = index;
    if (full_) {
        slot = Add16(cur_line_, index);
        if (slot > Capacity())
            slot -= Capacity();
    }
    return Slot(slot);
}

const QString &Class_rolling_text::Slot(int slot) const
{
    if (!allocated_ || slot < 1 || slot > lines_.size())
        throw std::out_of_range("Subscript out of range");
    return lines_[slot - 1];
}
