// A server that floods the window with 100,000 heat lines, in blocks of many sizes
// that cut lines anywhere: lines handled a second and the longest single
// data-arrival handler (on the connection's thread), and the longest event handler on
// the window's thread meanwhile.

#include "bench_support.h"

#include <QApplication>
#include <QLabel>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <atomic>
#include <future>
#include <thread>

int main(int argc, char **argv)
{
    Use_offscreen_by_default();
    Timed_application app(argc, argv);
    Isolated_user_dirs dirs;
    Message_recorder boxes;

    constexpr int Lines = 100000;
    QByteArray stream;
    for (int i = 1; i <= Lines; ++i)
        stream += "Velantra Active Heat/" + QByteArray::number(i) + "/Ready%";

    // The peer runs on its own thread so that it sends while the window handles.
    std::promise<quint16> port_promise;
    std::atomic<bool> done{false};
    std::thread peer_thread([&] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port_promise.set_value(server.serverPort());
        if (!server.waitForNewConnection(10000))
            return;
        QTcpSocket *peer = server.nextPendingConnection();
        QRandomGenerator random(42);
        const int sizes[] = {1, 7, 31, 100, 512, 1460, 4096, 16384, 65536};
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype size = std::min<qsizetype>(sizes[random.bounded(9)], stream.size() - at);
            peer->write(stream.constData() + at, size);
            at += size;
            while (peer->bytesToWrite() > 256 * 1024)
                peer->waitForBytesWritten(1000);
        }
        while (peer->bytesToWrite() > 0 && peer->waitForBytesWritten(1000)) {
        }
        while (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        delete peer;
    });

    auto *form = new Form_remotestart;
    form->Network()->Display().Create_logs();
    form->show();
    const quint16 port = port_promise.get_future().get();
    QElapsedTimer clock;
    clock.start();
    Connect_window(*form, port);
    app.longest_ns = 0; // from the first line on
    const bool all = Run_until([&] { return form->Network()->Display().Stats().lines >= Lines; }, 120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    // The window shows the last heat line within a frame.
    QLabel *heat = Find<QLabel>(form, "Label_active_heat");
    Run_until([&] { return heat->text() == QString::number(Lines); }, 1000);
    done = true;
    peer_thread.join();

    const Display_model::Receive_stats stats = form->Network()->Display().Stats();
    if (!all || heat->text() != QString::number(Lines)) {
        std::fprintf(stderr, "only %lld lines handled\n", static_cast<long long>(stats.lines));
        return 1;
    }
    std::printf("receive flood, %d heat lines (%.1f MB) in %lld reads: %.0f lines/s (%.2f s), "
                "longest data-arrival handler %.2f ms, longest handler on the window's thread %.2f ms\n",
                Lines, stream.size() / 1e6, static_cast<long long>(stats.blocks), Lines / seconds, seconds,
                stats.longest_handler_ns / 1e6, app.longest_ns / 1e6);
    delete form;
    return 0;
}
