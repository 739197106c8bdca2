#pragma once
// The main window wired to a real loopback server of the test's own, with the
// message boxes, beeps and rings recorded instead of shown or played.

#include "connection/remote_connection.h"
#include "main_window/form_remotestart.h"
#include "shared/platform.h"
#include "support/test_support.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class Window_fixture
{
public:
    Window_fixture()
    {
        Platform::Test_Hooks().beep = [this] { ++beeps; };
        form = new Form_remotestart;
        form->Form_Load();
        connection()->Set_ring([this] { ++rings; });
        server.listen(QHostAddress::LocalHost, 0);
        connection()->Set_remote_port(server.serverPort());
        ui().Text_host->setText(QStringLiteral("127.0.0.1"));
        form->show();
        window_active = QTest::qWaitForWindowActive(form);
    }
    ~Window_fixture()
    {
        Platform::Test_Hooks().beep = nullptr;
        delete form.data();
    }
    Window_fixture(const Window_fixture &) = delete;
    Window_fixture &operator=(const Window_fixture &) = delete;

    Remote_connection *connection() const { return form->Connection(); }
    const Main_window_ui &ui() const { return form->Ui(); }

    // Presses Connect and waits until both ends see the connection; peer is the
    // server's side of it.
    bool Connect()
    {
        QTest::mouseClick(ui().Command_connect, Qt::LeftButton);
        if (!server.waitForNewConnection(5000) && !server.hasPendingConnections())
            return false;
        peer = server.nextPendingConnection();
        return QTest::qWaitFor([this] { return connection()->Socket_state() == 7; }, 5000);
    }

    // Everything the peer has received within the wait, until it holds at least n bytes.
    QByteArray Peer_read(int n)
    {
        QByteArray bytes;
        (void)QTest::qWaitFor([&] {
            bytes += peer->readAll();
            return bytes.size() >= n;
        }, 5000);
        return bytes;
    }

    // Sends one block from the server and waits until the client has handled it as one read.
    bool Server_send(const QByteArray &block)
    {
        const qint64 before = connection()->Stats().blocks;
        peer->write(block);
        peer->flush();
        return QTest::qWaitFor([&] { return connection()->Stats().blocks > before; }, 5000);
    }

    QStringList From_goal_lines() const
    {
        QStringList lines;
        const Class_rolling_text &log = connection()->Text_from_goal_log();
        for (qint16 i = 1; i <= log.Num_Used_Lines(); ++i)
            lines << log.Text_line(i);
        return lines;
    }

    Isolated_user_dirs dirs;
    Message_recorder boxes;
    bool window_active = false;
    int beeps = 0;
    int rings = 0;
    QPointer<Form_remotestart> form;
    QTcpServer server;
    QTcpSocket *peer = nullptr;
};
