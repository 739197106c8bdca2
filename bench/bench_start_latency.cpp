// How long a start takes to reach the server: from Send_Start_Command to the last
// of its bytes read by a loopback peer, over 1,000 starts.

#include "bench_support.h"

#include <QApplication>
#include <QTcpSocket>

#include <algorithm>
#include <chrono>
#include <vector>

int main(int argc, char **argv)
{
    Use_offscreen_by_default();
    QApplication app(argc, argv);
    Isolated_user_dirs dirs;
    Message_recorder boxes;

    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    auto *form = new Form_remotestart;
    form->Connection()->Create_logs();
    form->show();
    Connect_window(*form, server.serverPort());
    if (!server.waitForNewConnection(5000) && !server.hasPendingConnections())
        return 1;
    QTcpSocket *peer = server.nextPendingConnection();

    constexpr int Starts = 1000;
    constexpr int Message_size = 24; // "HH:MM:SS Velantra Start%"
    std::vector<double> micros;
    micros.reserve(Starts);
    for (int i = 0; i < Starts; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        form->Connection()->Send_Start_Command();
        qint64 got = 0;
        while (got < Message_size) {
            if (peer->bytesAvailable() == 0 && !peer->waitForReadyRead(5000)) {
                std::fprintf(stderr, "the start did not arrive\n");
                return 1;
            }
            got += peer->read(Message_size - got).size();
        }
        const auto t1 = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        QCoreApplication::processEvents(); // the window's own events between starts
    }
    if (!boxes.Messages().isEmpty()) {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(boxes.Texts().first()));
        return 1;
    }
    std::sort(micros.begin(), micros.end());
    std::printf("start latency, %d starts over loopback: median %.1f us, 99th percentile %.1f us, max %.1f us\n",
                Starts, micros[Starts / 2], micros[Starts * 99 / 100], micros.back());
    delete form;
    return 0;
}
