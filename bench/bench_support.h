#pragma once
// The main window connected to a loopback server, for the benchmarks.

#include "connection/remote_connection.h"
#include "main_window/form_remotestart.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QThread>

#include <chrono>

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

inline long long Now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count(); // CLOCK_MONOTONIC on Linux, as the stand-in phidget21 library's stamps
}

// The application, timing every event handled on its own thread from outside (the
// outermost notify only, so a handler is counted once with what it calls).
class Timed_application : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (QThread::currentThread() != thread() || depth_ > 0)
            return QApplication::notify(receiver, event);
        ++depth_;
        const long long start = Now_ns();
        const bool done = QApplication::notify(receiver, event);
        const long long took = Now_ns() - start;
        --depth_;
        if (took > longest_ns) {
            longest_ns = took;
            longest_what = QStringLiteral("%1 to %2").arg(int(event->type())).arg(
                receiver ? QString::fromLatin1(receiver->metaObject()->className()) : QString());
        }
        return done;
    }
    long long longest_ns = 0;
    QString longest_what;

private:
    int depth_ = 0;
};
