#pragma once
// The safe write of a settings file (core/shared/ini_file.h): the new file beside the old,
// synced and renamed over it, or the file changed in place where the folder takes no new
// file; every step checked, and a change by another writer meanwhile starts it again.

#include "core/shared/file_ops.h"
#include "core/shared/ini_file.h"
#include "core/shared/ini_scan.h"

#include <QDeadlineTimer>
#include <QIODevice>

namespace Ini {

// A descriptor closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int Get() const { return fd_; }
    void Reset(int fd = -1)
    {
        if (fd_ >= 0)
            File_ops::Close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// A descriptor read through QIODevice; a failed read keeps its own error number.
class Descriptor_reader final : public QIODevice
{
public:
    explicit Descriptor_reader(int fd) : fd_(fd) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    int Error_number() const { return error_; }
    qint64 size() const override
    {
        const auto status = File_ops::Status_of(fd_);
        return status ? status->size : 0;
    }
    bool seek(qint64 at) override { return File_ops::Seek(fd_, at, &error_) && QIODevice::seek(at); }

protected:
    qint64 readData(char *data, qint64 most) override { return File_ops::Read(fd_, data, most, &error_); }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int fd_;
    int error_ = 0;
};

// What one attempt of a write came to: done (well or not), or to be made again on
// the file as it is now, because another writer changed it meanwhile.
struct Attempt
{
    bool again = false;
    Write_result result;
};

Write_result Failed(int error_number);

// Waits for the other writer's lock, but not for ever: a holder that never lets go
// is not worth a frozen window, and the check before the rename still stands.
void Lock(int fd, const QDeadlineTimer &patience);
// Removes the temporary files of writers that were killed: nobody holds their lock.
void Remove_leftovers(const QString &path, int settings_fd);
// Writes the new file under a temporary name and puts it in place of the file that
// was read, or where none was (existing < 0).
Attempt Write_new_file(const QString &path, int existing, const Names &names, const QString &value,
                       const std::function<void()> &before_replace);

} // namespace Ini
