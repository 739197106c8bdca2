#pragma once
// Appending a whole record to a file, or nothing: the file's own calls, so a failure
// carries the system's error number of the call that failed.

#include <QByteArray>
#include <QString>

struct Append_failure
{
    int error = 0;        // the errno value of the failed call; 0: the record is in
    bool opening = false; // the file could not be opened (else: written or closed)
};

// Opens the file for appending (made when missing), writes the bytes and closes it.
// A write that fails part-way is cut off again, so no partial record stays behind.
Append_failure Append_whole(const QString &path, const QByteArray &bytes);
