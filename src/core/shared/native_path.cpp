#include "core/shared/native_path.h"

#include <QFile>

Native_path::Native_path(const QString &path) : bytes_(QFile::encodeName(path)), utf16_(path) {}

Native_path::operator System_path() const
{
    return {bytes_.constData(), reinterpret_cast<const char16_t *>(utf16_.utf16())};
}

QString From_system(const System_text &text)
{
    if (!text.utf16.empty())
        return QString::fromStdU16String(text.utf16);
    return QFile::decodeName(QByteArray::fromStdString(text.bytes));
}
