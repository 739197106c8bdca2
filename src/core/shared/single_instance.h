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

    // The program's own attempt, begun on a thread at start-up: taking the lock syncs its
    // file to disk, which on a busy disk takes tens of milliseconds that the window's set-up
    // need not wait for. Take_early hands over the lock and its answer once the attempt is
    // done; nullptr when none was begun.
    static void Begin_early();
    static std::unique_ptr<Instance_lock> Take_early(bool &acquired);

private:
    bool Held_by_live_process() const;

    QString path_;
    std::unique_ptr<QLockFile> lock_;
};
