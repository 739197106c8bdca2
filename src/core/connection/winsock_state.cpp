#include "core/connection/winsock_state.h"

#include <cstring>

namespace Winsock {

int State_of(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::UnconnectedState: return Closed;
    case QAbstractSocket::HostLookupState: return Resolving_host;
    case QAbstractSocket::ConnectingState: return Connecting;
    case QAbstractSocket::ConnectedState: return Connected;
    case QAbstractSocket::BoundState: return Open;
    case QAbstractSocket::ListeningState: return Listening;
    case QAbstractSocket::ClosingState: return Peer_closing;
    }
    return Error;
}

QString Status_text(int state)
{
    switch (state) {
    case Closed: return QStringLiteral("Closed");
    case Open: return QStringLiteral("Open");
    case Connecting: return QStringLiteral("Connecting");
    case Connected: return QStringLiteral("Connected");
    case Peer_closing: return QStringLiteral("Peer closing");
    case Error: return QStringLiteral("Error");
    default: return QStringLiteral("Status : ") + QString::number(state);
    }
}

namespace {

// Every error number the client shows by name, with its text: one row each. A peer's
// orderly close is no error, and a reset comes from the writer's own check, so Qt's
// RemoteHostClosedError has no row.
struct Error_row
{
    int number;
    QAbstractSocket::SocketError qt; // UnknownSocketError: none of Qt's
    const char *text;
};
constexpr Error_row Errors[] = {
    {10013, QAbstractSocket::SocketAccessError, "Permission denied"},
    {10040, QAbstractSocket::DatagramTooLargeError, "Message too long"},
    {10045, QAbstractSocket::UnsupportedSocketOperationError, "Operation not supported"},
    {10048, QAbstractSocket::AddressInUseError, "Address already in use"},
    {10049, QAbstractSocket::SocketAddressNotAvailableError, "Cannot assign requested address"},
    {10051, QAbstractSocket::NetworkError, "Network is unreachable"},
    {10053, QAbstractSocket::UnknownSocketError, "Software caused connection abort"},
    {Connection_reset, QAbstractSocket::UnknownSocketError, "Connection reset by peer"},
    {No_buffer_space, QAbstractSocket::SocketResourceError, "No buffer space available"},
    {10057, QAbstractSocket::UnknownSocketError, "Socket is not connected"},
    {10060, QAbstractSocket::SocketTimeoutError, "Connection timed out"},
    {10061, QAbstractSocket::ConnectionRefusedError, "Connection refused"},
    {10065, QAbstractSocket::UnknownSocketError, "No route to host"},
    {11001, QAbstractSocket::HostNotFoundError, "Host not found"},
};

// Numbers from 30000 on carry a system's error number that has no Windows Sockets one;
// from 20001 on, Qt's own code.
constexpr int System_error_base = 30000;
constexpr int Qt_error_base = 20000;

} // namespace

int From_socket_error(QAbstractSocket::SocketError error)
{
    for (const Error_row &row : Errors)
        if (row.qt == error && error != QAbstractSocket::UnknownSocketError)
            return row.number;
    return Qt_error_base + static_cast<int>(error) + 1;
}

QString Error_text(int number, const QString &otherwise)
{
    for (const Error_row &row : Errors)
        if (row.number == number)
            return QString::fromLatin1(row.text);
    if (number > System_error_base)
        return QString::fromLocal8Bit(std::strerror(number - System_error_base));
    return otherwise;
}

} // namespace Winsock
