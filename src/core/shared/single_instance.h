#pragma once
// One running copy per data folder: a lock file held for the life of the process. Only a
// lock that a live copy holds refuses the start. A lock file left behind (by a copy
// that died, or empty, unreadable, not a lock at all, or from another machine) is
// taken over; where no lock can be taken at all, the program starts without the
// guard and says so on stderr: an official must never be kept from the starter.

#include <QString>
#include <memory>

class QLockFile;

class Instance_lock
{
public:
    // The lock used by the program, one per data folder: in the data folder when only
    // the user can write it, else in the session's runtime folder (the user's own, 0700)
    // under a name made from the data folder's path; empty where neither is possible.
    static QString Default_path();

    explicit Instance_lock(const QString &path = Default_path());
    ~Instance_lock();

    // False only when another live copy holds the lock.
    bool Try_acquire();

private:
    bool Held_by_live_process() const;

    QString path_;
    std::unique_ptr<QLockFile> lock_;
};
