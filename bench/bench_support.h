#pragma once
// The main window connected to a loopback server, for the benchmarks.

#include "connection/remote_connection.h"
#include "main_window/form_remotestart.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>

#include <cstdio>
#include <cstdlib>

// Runs the event loop until done() holds or the time is up; false on time-out.
template <typename F> bool Run_until(F done, int timeout_ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Presses Connect against 127.0.0.1 on port; exits the benchmark when that fails.
inline void Connect_window(Form_remotestart &form, quint16 port)
{
    form.Connection()->Set_remote_port(port);
    Find<QLineEdit>(&form, "Text_host")->setText(QStringLiteral("127.0.0.1"));
    Find<QPushButton>(&form, "Command_connect")->click();
    if (!Run_until([&] { return form.Connection()->Socket_state() == 7; }, 10000)) {
        std::fprintf(stderr, "could not connect to the loopback peer\n");
        std::exit(1);
    }
}

inline void Use_offscreen_by_default()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
