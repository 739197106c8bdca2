#pragma once
// A path of ours in the forms the system calls of core/platform/ take, and back.

#include "core/platform/system_path.h"

#include <QByteArray>
#include <QString>

class Native_path
{
public:
    explicit Native_path(const QString &path);
    operator System_path() const; // valid while this lives

private:
    QByteArray bytes_;
    QString utf16_;
};

// A name a system call gave back.
QString From_system(const System_text &text);
