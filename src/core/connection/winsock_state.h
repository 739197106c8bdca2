#pragma once
// The socket's state and errors as the timing-system staff know them: the state
// numbers 0..9 of a Windows Sockets client control, and Windows Sockets error numbers.

#include <QAbstractSocket>
#include <QString>

namespace Winsock {

enum State : int {
    Closed = 0,
    Open = 1,
    Listening = 2,
    Connection_pending = 3,
    Resolving_host = 4,
    Host_resolved = 5,
    Connecting = 6,
    Connected = 7,
    Peer_closing = 8,
    Error = 9,
};

// The state number of a Qt socket state (an error is tracked apart: see Tcp_client).
int State_of(QAbstractSocket::SocketState state);

// The text of Label_status for a state number.
QString Status_text(int state);

// The error numbers the client shows are Windows Sockets numbers, whatever system it
// runs on; the sockets' own calls give them too (core/platform/socket_calls.h).
constexpr int Connection_reset = 10054;
constexpr int No_buffer_space = 10055;

// A non-zero error number for a Qt socket error: the Windows Sockets number where one
// matches exactly, else Qt's own code moved clear of 0 and of that range.
int From_socket_error(QAbstractSocket::SocketError error);

// The text shown beside an error number: the table's; for a number the system's calls
// gave without a Windows Sockets one, the system's own text; else otherwise.
QString Error_text(int number, const QString &otherwise = QString());

} // namespace Winsock
