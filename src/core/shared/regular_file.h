#pragma once
// Files of ours opened only when they are regular files, without waiting: a FIFO, a
// device or a folder found where a settings file, a log or a lock should be is
// refused at once, never read from or waited on. A new file is made 0666 less the
// umask, as any program's.

#include <QFile>
#include <QString>

namespace Regular_file {

// Opens file (at its fileName()) in mode, as QFile::open would, when it is a regular
// file. On failure the file stays closed and error, when given, is the system's error
// number: of the failing call, or EISDIR for a folder and EINVAL for anything else
// that is no regular file. Opened on a descriptor: fileName() reads empty afterwards.
bool Open(QFile &file, QIODevice::OpenMode mode, int *error = nullptr);

} // namespace Regular_file
