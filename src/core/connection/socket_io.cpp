#include "core/connection/socket_io.h"

#include "core/platform/socket_calls.h"

namespace Socket_io {

qintptr Duplicate(qintptr socket) { return Socket_calls::Duplicate(socket); }

void Close(qintptr socket) { Socket_calls::Close(socket); }

qint64 Send(qintptr socket, const char *data, qint64 size, int &error)
{
    return Socket_calls::Send(socket, data, size, &error);
}

bool Was_reset(qintptr socket) { return Socket_calls::Was_reset(socket); }

bool Limit_dead_link(qintptr socket)
{
    return Socket_calls::Limit_dead_link(socket, Keep_alive_idle_s, Keep_alive_interval_s, Keep_alive_probes,
                                         User_timeout_ms);
}

qint64 Unacknowledged_bytes(qintptr socket) { return Socket_calls::Unacknowledged_bytes(socket); }

void Discard_unsent_on_close(qintptr socket) { Socket_calls::Discard_unsent_on_close(socket); }

} // namespace Socket_io
