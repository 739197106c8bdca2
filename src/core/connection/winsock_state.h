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

// A non-zero error number: the Windows Sockets number where one matches exactly.
int Error_number(QAbstractSocket::SocketError error);

} // namespace Winsock
