#include "core/connection/protocol.h"

#include "core/shared/ansi_text.h"

namespace Protocol {

QString Start_text(const QString &time_stamp)
{
    return time_stamp + QStringLiteral(" Velantra Start");
}

QString Abort_text(const QString &time_stamp)
{
    return time_stamp + QStringLiteral(" Velantra Abort");
}

QString Free_text(const QString &time_stamp, const QString &text)
{
    return time_stamp + QLatin1Char(' ') + text;
}

QByteArray Frame(const QString &text)
{
    QByteArray bytes = To_Ansi(text);
    bytes.append(Terminator);
    return bytes;
}

bool Is_heat_line(const QString &line)
{
    return line.contains(QLatin1String("Velantra Active Heat")) || line.contains(QLatin1String("/Abort"))
           || line.contains(QLatin1String("/Start"));
}

Heat_fields Split_heat_line(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char('/'));
    Heat_fields heat;
    if (fields.size() >= 2)
        heat.id = fields.at(1);
    if (fields.size() >= 3)
        heat.status = fields.at(2);
    return heat;
}

Received Decode_lines(const QList<QByteArray> &lines)
{
    Received got;
    got.texts.reserve(lines.size());
    for (const QByteArray &bytes : lines) {
        got.texts.append(From_Ansi(bytes));
        if (!Is_heat_line(got.texts.constLast()))
            continue;
        Heat_fields fields = Split_heat_line(got.texts.constLast());
        if (fields.id)
            got.heat.id = std::move(fields.id);
        if (fields.status)
            got.heat.status = std::move(fields.status);
    }
    return got;
}

bool Block_rings(const QByteArray &block)
{
    return block.contains('\xA4');
}

bool Block_beeps(const QByteArray &block)
{
    return block.contains('#');
}

} // namespace Protocol

QList<QByteArray> Line_splitter::Feed(const QByteArray &block)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = block.indexOf(Protocol::Terminator, start);
        if (end < 0)
            break;
        QByteArray line = held_.isEmpty() ? block.mid(start, end - start)
                                          : held_ + block.mid(start, end - start);
        held_.clear();
        if (!line.isEmpty())
            lines.append(std::move(line));
        start = end + 1;
    }
    held_.append(block.mid(start));
    if (held_.size() > Max_held)
        lines.append(Take_held());
    return lines;
}

QByteArray Line_splitter::Take_held()
{
    QByteArray line;
    line.swap(held_);
    return line;
}
