#include "core/shared/ansi_text.h"

#include <array>
#include <optional>
#include <utility>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes it leaves
// undefined read as the C1 controls of the same number, as Windows itself reads them.
constexpr std::array<char16_t, 32> High_c1 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Characters that show nothing (direction marks, joiners, variation selectors ...): where
// the code page lacks them they are left out, not sent as a '?' nobody typed.
bool Default_ignorable(char32_t c)
{
    static constexpr std::array<std::pair<char32_t, char32_t>, 17> ranges{{
        {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
        {0x180B, 0x180F}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
        {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
        {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF}}};
    for (const auto &[first, last] : ranges)
        if (c >= first && c <= last)
            return true;
    return false;
}

// The byte of a character of the code page; '?' for one it lacks, none for one that shows nothing.
std::optional<char> Byte_of(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c < 0x100))
        return char(c);
    for (size_t i = 0; i < High_c1.size(); ++i)
        if (High_c1[i] == c)
            return char(0x80 + i);
    if (Default_ignorable(c))
        return std::nullopt;
    return '?';
}

} // namespace

QByteArray To_Ansi(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    const char16_t *c = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = c + text.size();
    for (; c < end; ++c) {
        char32_t code = *c; // a lone half of a pair stands for itself, and has no byte
        if (QChar::isHighSurrogate(*c) && c + 1 < end && QChar::isLowSurrogate(c[1]))
            code = QChar::surrogateToUcs4(c[0], c[1]), ++c;
        if (const std::optional<char> byte = Byte_of(code))
            bytes += *byte;
    }
    return bytes;
}

QString From_Ansi(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char byte : bytes) {
        const auto b = quint8(byte);
        *out++ = b >= 0x80 && b < 0xA0 ? High_c1[b - 0x80] : char16_t(b);
    }
    return text;
}
