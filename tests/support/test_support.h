#pragma once
// Shared pieces of the tests: a private set of user folders, and a recorder
// that answers every message box instead of blocking on it.

#include "shared/message_box.h"

#include <QList>
#include <QTemporaryDir>

// Points the per-user data and runtime folders at a fresh temporary folder for
// as long as it lives, so tests never touch the real user's files.
class Isolated_user_dirs
{
public:
    Isolated_user_dirs();
    ~Isolated_user_dirs();
    QString Data_path() const;     // what AppUserData_Path returns now
    QString Runtime_path() const;

private:
    QTemporaryDir dir_;
    QByteArray old_data_, old_runtime_;
};

// Records the boxes shown while it lives.
class Message_recorder
{
public:
    Message_recorder();
    ~Message_recorder();
    const QList<Shown_message> &Messages() const { return messages_; }
    QStringList Texts() const;
    void Clear() { messages_.clear(); }

private:
    QList<Shown_message> messages_;
    Message_hook previous_;
};

// True when the tests must not skip for lack of a service (set in CI).
bool Services_required();

// The working folder, put back when it goes.
struct Working_folder
{
    explicit Working_folder(const QString &path);
    ~Working_folder();
    const QString saved;
};

// Faults of the machine, made for real (Linux). Each undoes itself when it goes.

// A small tmpfs mounted on a fresh folder (needs root); Mounted() is false where
// the test may not mount one. options as for mount, e.g. "size=64k".
class Small_tmpfs
{
public:
    explicit Small_tmpfs(const QByteArray &options);
    ~Small_tmpfs();
    bool Mounted() const { return mounted_; }
    QString Path() const { return dir_.path(); }
    // Takes every free block, so the next write that needs one fails with ENOSPC.
    void Fill();

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// While it lives, no file of the process may grow past bytes: a write beyond
// fails with EFBIG, partly written, as on a full disk.
class File_size_limit
{
public:
    explicit File_size_limit(qint64 bytes);
    ~File_size_limit();

private:
    qint64 old_soft_ = 0;
    void (*old_handler_)(int) = nullptr;
};

// A folder in which no new file can be made (while its files stay writable): read
// and execute only, or for root, whom permissions do not stop, immutable. Made()
// is false where neither works.
class Folder_refusing_new_files
{
public:
    explicit Folder_refusing_new_files(const QString &path);
    ~Folder_refusing_new_files();
    bool Made() const { return made_; }
    static constexpr const char *Why_not = "no folder can refuse new files here (root, and no immutable flag)";

private:
    QString path_;
    bool made_ = false;
    bool immutable_ = false;
};
