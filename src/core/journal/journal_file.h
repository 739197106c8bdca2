#pragma once
// One journal file on the disk, as the journal's writer thread uses it: opened only
// when it is a regular file (a FIFO, a device or a folder in the way must neither
// hang the writer nor be written to), held under an exclusive lock while open so no
// other running copy writes into it, only ever appended to, and synced to the disk
// on request.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class Journal_file
{
public:
    Journal_file() = default;
    ~Journal_file() { Close(); }
    Q_DISABLE_COPY_MOVE(Journal_file)

    enum class Opened { Yes, Held_elsewhere, Failed };
    // Opens path for appending, made when missing. Held_elsewhere: a running copy holds it.
    Opened Open(const QString &path);
    void Close();
    bool Is_open() const { return fd_ >= 0; }

    qint64 Size() const { return size_; }
    // The file's last byte is not a line end: a line was cut short (a crash, a full
    // disk), and the next one must start on a line of its own.
    bool Ends_mid_line() const { return ends_mid_line_; }

    // Appends every byte; false when not all could be written (Error says why). written,
    // when given, is how many were.
    bool Append(const QByteArray &bytes, qint64 *written = nullptr);
    // What was appended is on the disk, not only in the system's cache.
    bool Sync();
    QString Error() const { return error_; }

private:
    bool Fail(const QString &what, int error);

    int fd_ = -1;
    qint64 size_ = 0;
    bool ends_mid_line_ = false;
    QString error_;
};
