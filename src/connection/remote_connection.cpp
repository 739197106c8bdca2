#include "connection/remote_connection.h"

#include <QLabel>

Remote_connection::Remote_connection(const Main_window_ui &ui, QObject *parent)
    : QObject(parent), ui_(ui)
{
}

void Remote_connection::Create_logs() {}
void Remote_connection::Update_TCP_status() {}
void Remote_connection::Close_socket() {}
void Remote_connection::Send_Start_Command() {}
void Remote_connection::item_linescroll_Click() {}
