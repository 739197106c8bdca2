#pragma once
// One running copy per user: a lock file held for the life of the process. The
// lock of a copy that died is stale and is taken over.

#include <QString>
#include <memory>

class QLockFile;

class Instance_lock
{
public:
    // The per-user lock used by the program.
    static QString Default_path();

    explicit Instance_lock(const QString &path = Default_path());
    ~Instance_lock();

    // True when this process now holds the lock; false when another copy does.
    bool Try_acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};
