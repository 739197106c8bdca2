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
