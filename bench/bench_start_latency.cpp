// How long a start takes to reach the server: from Send_Start_Command to the last of
// its bytes read by a loopback peer, over 1,000 starts. Twice: run on the connection's
// own thread (the function itself, as the trigger's request runs it), and asked from
// the window's thread (one hand-over to the connection's thread more, as the Start
// button asks it).

#include "bench_support.h"

#include <QApplication>

#include <algorithm>
#include <vector>

namespace {

constexpr int Starts = 1000;
constexpr int Message_size = 24; // "HH:MM:SS Velantra Start%"

void Print(const char *where, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    std::printf("start latency, %d starts over loopback, %s: median %.1f us, 99th percentile %.1f us, max %.1f us\n",
                Starts, where, micros[Starts / 2], micros[Starts * 99 / 100], micros.back());
}

} // namespace

int main(int argc, char **argv)
{
    Use_offscreen_by_default();
    QApplication app(argc, argv);
    Isolated_user_dirs dirs;
    Message_recorder boxes;

    Loopback_listener server;
    auto *form = new Form_remotestart;
    form->Connection()->Create_logs();
    form->show();
    Connect_window(*form, server.port);
    const int peer = server.Accept();
    Remote_connection *connection = form->Connection();

    std::vector<double> on_its_thread, from_the_window;
    bool arrived = true;
    for (int i = 0; i < Starts && arrived; ++i) {
        QMetaObject::invokeMethod(
            connection,
            [&] {
                const long long t0 = Now_ns();
                connection->Send_Start_Command();
                arrived = Receive_exactly(peer, Message_size);
                on_its_thread.push_back((Now_ns() - t0) / 1e3);
            },
            Qt::BlockingQueuedConnection);
        QCoreApplication::processEvents(); // the window's own events between starts
    }
    for (int i = 0; i < Starts && arrived; ++i) {
        const long long t0 = Now_ns();
        connection->Send_Start_Command();
        arrived = Receive_exactly(peer, Message_size);
        from_the_window.push_back((Now_ns() - t0) / 1e3);
        QCoreApplication::processEvents();
    }
    if (!arrived) {
        std::fprintf(stderr, "a start did not arrive\n");
        return 1;
    }
    if (!boxes.Messages().isEmpty()) {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(boxes.Texts().first()));
        return 1;
    }
    Print("on the connection's thread", on_its_thread);
    Print("asked from the window's thread", from_the_window);
    delete form;
    ::close(peer);
    return 0;
}
