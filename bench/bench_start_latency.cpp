// How long a start takes to reach the server: from the window's Start (the writer's
// Start on the window's thread, as a click gives it) to the last of its bytes read by
// a loopback peer, over 1,000 starts; beside it the floor, one send() and its receipt
// on a loopback socket of its own, measured in turn with the starts.

#include "bench_support.h"

#include <QApplication>

#include <algorithm>
#include <vector>

namespace {

constexpr int Starts = 1000;
constexpr int Message_size = 24; // "HH:MM:SS Velantra Start%"

void Print(const char *what, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    std::printf("%-34s median %6.1f us, 99th percentile %6.1f us, max %7.1f us\n", what, micros[micros.size() / 2],
                micros[micros.size() * 99 / 100], micros.back());
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
    form->Network()->Display().Create_logs();
    form->show();
    Connect_window(*form, server.port);
    const int peer = server.Accept();
    Message_writer &writer = form->Network()->Writer();
    const Loopback_floor floor;

    std::vector<double> starts, floors;
    bool arrived = true;
    for (int i = 0; i < Starts && arrived; ++i) {
        const long long t0 = Now_ns();
        arrived = writer.Start({}) == Send_result::Sent && Receive_exactly(peer, Message_size);
        starts.push_back((Now_ns() - t0) / 1e3);
        const double once = floor.Once_us();
        arrived = arrived && once >= 0;
        floors.push_back(once);
        QCoreApplication::processEvents(); // the window's own events between starts
    }
    if (!arrived) {
        std::fprintf(stderr, "a start did not arrive\n");
        return 1;
    }
    if (!boxes.Messages().isEmpty()) {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(boxes.Texts().first()));
        return 1;
    }
    std::printf("%d starts over loopback, each beside one floor send:\n", Starts);
    Print("floor (one send() and its receipt)", floors);
    Print("Start from the window's thread", starts);
    delete form;
    ::close(peer);
    return 0;
}
