#include "core/connection/winsock_state.h"

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

int Error_number(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::NetworkError: return 10051;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    case QAbstractSocket::DatagramTooLargeError: return 10040;
    default:
        // No Windows Sockets equivalent: Qt's own code, moved clear of 0 and of that range.
        return 20000 + static_cast<int>(error) + 1;
    }
}

} // namespace Winsock
