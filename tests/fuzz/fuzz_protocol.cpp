// The receive path: a stream cut into blocks anywhere, its lines decoded and
// re-encoded, heat lines split.
#include "core/connection/protocol.h"
#include "fuzz_check.h"
#include "core/shared/ansi_text.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void Check_line(const QByteArray &line)
{
    FUZZ_CHECK(!line.isEmpty() && !line.contains(Protocol::Terminator));
    const QString text = From_Ansi(line);
    // One character a byte, and back to the same bytes.
    FUZZ_CHECK(text.size() == line.size());
    FUZZ_CHECK(Protocol::Frame(text) == line + Protocol::Terminator);
    const Protocol::Heat_fields heat = Protocol::Split_heat_line(text);
    const qsizetype slashes = text.count(QLatin1Char('/'));
    FUZZ_CHECK(heat.id.has_value() == (slashes >= 1));
    FUZZ_CHECK(heat.status.has_value() == (slashes >= 2));
    FUZZ_CHECK(!heat.id || !heat.id->contains(QLatin1Char('/')));
    FUZZ_CHECK(!heat.status || !heat.status->contains(QLatin1Char('/')));
    Protocol::Is_heat_line(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Line_splitter splitter;
    QByteArray sent, received;
    while (in.remaining_bytes() > 0) {
        // A piece, sometimes repeated so that a line outgrows the held limit.
        const int repeat = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 300) : 1;
        const QByteArray block = QByteArray::fromStdString(in.ConsumeRandomLengthString(256)).repeated(repeat);
        sent += block;
        Protocol::Block_rings(block);
        Protocol::Block_beeps(block);
        for (const QByteArray &line : splitter.Feed(block)) {
            Check_line(line);
            received += line;
        }
    }
    const QByteArray rest = splitter.Take_held();
    if (!rest.isEmpty())
        Check_line(rest);
    received += rest;
    FUZZ_CHECK(!splitter.Holding());
    // Every byte but the terminators comes out, once and in order.
    FUZZ_CHECK(received == QByteArray(sent).replace(Protocol::Terminator, QByteArray()));
    return 0;
}
