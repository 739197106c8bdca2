// The rolling buffer behind the message logs: any sequence of sizing, adding and
// reading. Only the documented failures are thrown, and while the buffer has been
// sized once it holds the newest lines, oldest first.
#include "fuzz_check.h"
#include "core/message_log/class_rolling_text.h"

#include <deque>
#include <stdexcept>

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Class_rolling_text buffer;
    std::deque<QString> model;
    int sized = 0; // times Set_Lines succeeded; the model holds while it is 1
    int counter = 0;
    while (in.remaining_bytes() > 0) {
        try {
            switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                buffer.Set_Lines(in.ConsumeIntegralInRange<qint16>(-2, sized == 0 ? 40 : 32767));
                ++sized;
                model.clear();
                break;
            case 1: {
                // Many at once too, to run the 16-bit counters to their end.
                const int count = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 40000) : 1;
                for (int i = 0; i < count; ++i) {
                    const QString line = QString::number(++counter);
                    buffer.Add_Line(line);
                    if (sized != 1)
                        continue;
                    model.push_back(line);
                    if (qsizetype(model.size()) > buffer.Capacity())
                        model.pop_front();
                }
                break;
            }
            case 2:
                buffer.Text_line(in.ConsumeIntegral<qint16>());
                break;
            default:
                break;
            }
        } catch (const std::out_of_range &) {
        } catch (const std::overflow_error &) {
        }
        FUZZ_CHECK(buffer.Num_Used_Lines() >= 0);
        if (sized == 1) {
            FUZZ_CHECK(buffer.Num_Used_Lines() == qsizetype(model.size()));
            for (qint16 i = 1; i <= buffer.Num_Used_Lines(); ++i)
                FUZZ_CHECK(buffer.Text_line(i) == model[size_t(i - 1)]);
        }
    }
    return 0;
}
