#pragma once
// The little the message writer needs of the operating system's sockets, beside what
// Qt gives: its own descriptor of a connected socket, a send that never blocks, and
// whether the peer reset the connection (Qt reads a reset as an orderly end).

#include <QString>
#include <QtGlobal>

namespace Socket_io {

constexpr qintptr No_socket = -1;

// A descriptor of the same connection that stays valid (and is never reused by
// another file) until Close, whatever happens to the original.
qintptr Duplicate(qintptr socket);
void Close(qintptr socket);

// Hands up to size bytes to the network without waiting: the count taken, 0 when
// none fit now, -1 on an error (error: the system's number).
qint64 Send(qintptr socket, const char *data, qint64 size, int &error);

// After the connection ended: true when the peer reset it rather than closing it.
bool Was_reset(qintptr socket);

// The error numbers the window shows and the system's text for them.
int Winsock_number(int error);
QString Error_text(int error);
int No_buffer_space(); // the system's number for a full send buffer
int Connection_reset();

} // namespace Socket_io
