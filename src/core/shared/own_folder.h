#pragma once
// Files of ours (the single-instance lock, the race journal) lie only in a folder
// nobody else can write to: elsewhere another user could plant a held lock, a FIFO or
// a symbolic link to a file of the user's own.

#include <QString>

// True for an absolute path to a folder the user owns that no other user may write to;
// with private_only, one only the user may even enter (mode 0700).
bool Own_folder(const QString &folder, bool private_only);
