// How long a real start takes to reach the server, from outside: from the moment the
// vendor library raises an armed input change on its own thread (the stand-in library
// stamps it) or a click on Start is posted to the window from another thread, to the
// moment a loopback server holds the Start line, on one clock (CLOCK_MONOTONIC). While
// the server sends nothing, floods heat lines, sends 60,000-character lines back to
// back, or sends megabytes without a "%". Also the longest event handler on the
// window's thread in each case. Beside them two floors, in the same run and under the
// same load, each a Start line on a loopback socket of the benchmark's own to a server
// thread of the same kind: the send floor, one send() from a thread that is already
// running; and the wake floor, a thread asleep in read() on a pipe, woken by a byte,
// that then sends, as the vendor library's thread sleeps until the board speaks.
//   bench/bench_trigger_to_wire [starts per kind] [--no-journal]     (default 500; the race journal on)

#include "bench_support.h"

#include "core/main_window/journal_hooks.h"

#include <QApplication>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>


extern "C" void fake_phidget21_attach(int serial), fake_phidget21_change_input(int index, int state);
extern "C" long long fake_phidget21_input_raised_ns();

namespace {

struct Figures
{
    double p50 = 0, p99 = 0, worst = 0; // ms
};

Figures Of(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    const size_t p99 = size_t(std::ceil(0.99 * double(ms.size()))) - 1;
    return {ms[ms.size() / 2], ms[p99], ms.back()};
}

struct Scenario
{
    const char *name;
    QByteArray unit; // sent again and again while the starts are given
};

QByteArray Heat_lines()
{
    QByteArray lines;
    for (int i = 1; lines.size() < 256 * 1024; ++i)
        lines += "Velantra Active Heat/" + QByteArray::number(i) + "/Ready%";
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    Use_offscreen_by_default();
    Timed_application app(argc, argv);
    Isolated_user_dirs dirs;
    Message_recorder boxes;
    const bool journal = !(argc > 2 && qstrcmp(argv[2], "--no-journal") == 0);
    const int per_kind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;

    auto *form = new Form_remotestart;
    form->Form_Load();
    if (!journal)
        form->Journal()->Detach();
    std::printf("race journal %s\n", journal ? "on" : "off");
    form->show();
    QPushButton *start = Find<QPushButton>(form, "Command_start");
    fake_phidget21_attach(301234);
    if (!Run_until([&] { return Find<QGroupBox>(form, "Frame_phidget_control")->isVisible(); }, 5000)) {
        std::fprintf(stderr, "the stand-in board did not attach\n");
        return 1;
    }
    Find<QPushButton>(form, "Command_Phidget_Active")->click(); // armed
    Stamping_peer peer(true);
    Connect_window(*form, peer.listener.port);
    peer.Accept();
    Stamping_peer floor_peer(true);
    const int floor_fd = Connect_to(floor_peer.listener.port);
    floor_peer.Accept();
    Stamping_peer wake_peer(true);
    const int wake_fd = Connect_to(wake_peer.listener.port);
    wake_peer.Accept();
    // The wake floor's thread sleeps in read() until a byte comes down the pipe.
    int wake_pipe[2];
    if (::pipe(wake_pipe) != 0) {
        std::perror("pipe");
        return 1;
    }
    std::thread waker([&] {
        char byte;
        while (::read(wake_pipe[0], &byte, 1) == 1)
            (void)::send(wake_fd, "12:34:56 Velantra Start%", 24, MSG_NOSIGNAL);
    });
    QThread::msleep(50);
    std::printf("(the server stamps arrivals on a thread at %s priority)\n",
                peer.Realtime() ? "real-time (SCHED_FIFO)" : "normal: run as root for real-time");

    const Scenario scenarios[] = {
        {"idle", QByteArray()},
        {"(a) heat-line flood", Heat_lines()},
        {"(b) 60,000-char lines", QByteArray(60000, 'x') + '%'},
        {"(c) no \"%\" (>= 10 MB)", QByteArray(256 * 1024, 'y')},
    };
    std::printf("%d armed input changes and %d Start clicks (posted from another thread), 20-40 ms apart, "
                "alternating; times to the Start line at the server:\n",
                per_kind, per_kind);
    std::printf("%-24s %-8s %8s %8s %9s %14s %13s %10s   %-12s %s\n", "server sends", "start", "p50 ms", "p99 ms",
                "worst ms", "lost/extra", "window ms", "MB sent", "p50/p99 to", "p50/p99 to");
    std::printf("%110s %-12s %s\n", "", "wake floor", "send floor");
    const QPointF centre = QRectF(start->rect()).center();
    const QPointingDevice *mouse = QPointingDevice::primaryPointingDevice();
    bool all_well = true;
    for (const Scenario &scenario : scenarios) {
        const long long bytes_before = peer.sent_bytes;
        const qint64 read_before = form->Network()->Display().Stats().bytes;
        if (!scenario.unit.isEmpty())
            peer.Start_sending(scenario.unit);
        QThread::msleep(300); // the flood under way
        app.longest_ns = 0;
        app.longest_cpu_ns = 0;
        const size_t arrived_before = peer.Arrivals().size();
        const size_t floor_before = floor_peer.Arrivals().size();
        const size_t wake_before = wake_peer.Arrivals().size();
        std::vector<long long> floor_given, wake_given;

        // The clicks are made here: a mouse event reads and writes its device's state,
        // which only the window's thread may touch. Another thread only posts them.
        std::vector<std::pair<QMouseEvent *, QMouseEvent *>> clicks;
        for (int i = 0; i < per_kind; ++i)
            clicks.emplace_back(new QMouseEvent(QEvent::MouseButtonPress, centre, centre, Qt::LeftButton,
                                                Qt::LeftButton, Qt::NoModifier, mouse),
                                new QMouseEvent(QEvent::MouseButtonRelease, centre, centre, Qt::LeftButton,
                                                Qt::NoButton, Qt::NoModifier, mouse));

        // One thread gives the starts, as the library's thread and a person would.
        std::vector<std::pair<bool, long long>> given; // (trigger?, stamp)
        std::atomic<bool> done{false};
        std::thread starter([&] {
            QRandomGenerator random(7);
            for (int i = 0; i < 2 * per_kind; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20 + random.bounded(21)));
                if (i % 2 == 0) {
                    fake_phidget21_change_input(0, (i / 2) % 2);
                    given.emplace_back(true, fake_phidget21_input_raised_ns());
                } else {
                    const long long stamp = Now_ns();
                    QCoreApplication::postEvent(start, clicks[size_t(i / 2)].first);
                    QCoreApplication::postEvent(start, clicks[size_t(i / 2)].second);
                    given.emplace_back(false, stamp);
                }
                // The floor, a few milliseconds after each start, under the same load.
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                floor_given.push_back(Now_ns());
                (void)::send(floor_fd, "12:34:56 Velantra Start%", 24, MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                wake_given.push_back(Now_ns());
                if (::write(wake_pipe[1], "w", 1) != 1)
                    std::perror("wake floor");
            }
            done = true;
        });
        Run_until([&] { return done.load(); }, 600000);
        starter.join();
        const size_t expected = arrived_before + given.size();
        Run_until([&] { return peer.Arrivals().size() >= expected; }, 5000);
        const long long window_ns = app.longest_ns;
        const QString window_what = app.longest_what;
        const long long window_cpu_ns = app.longest_cpu_ns;
        peer.Stop_sending();
        const long long sent = peer.sent_bytes - bytes_before;
        // The client reads what was sent before the next case, and a late extra start shows.
        Run_until([&] { return form->Network()->Display().Stats().bytes - read_before >= sent; }, 30000);
        QThread::msleep(100);
        QCoreApplication::processEvents();

        const std::vector<long long> arrivals = peer.Arrivals();
        std::vector<double> trigger_ms, click_ms;
        const long long lost = std::max<long long>(0, (long long)(expected) - (long long)arrivals.size());
        const long long extra = std::max<long long>(0, (long long)arrivals.size() - (long long)expected);
        // The Start lines are all alike: the k-th to arrive is the k-th given. One that
        // arrives before it was given means one was lost and another sent twice.
        bool in_order = true;
        for (size_t k = 0; k < given.size() && arrived_before + k < arrivals.size(); ++k) {
            const double ms = double(arrivals[arrived_before + k] - given[k].second) / 1e6;
            in_order = in_order && ms >= 0;
            (given[k].first ? trigger_ms : click_ms).push_back(ms);
        }
        const auto floor_of = [](const Stamping_peer &at, size_t before, const std::vector<long long> &stamps) {
            Run_until([&] { return at.Arrivals().size() >= before + stamps.size(); }, 5000);
            std::vector<double> ms;
            const std::vector<long long> arrivals = at.Arrivals();
            for (size_t k = 0; k < stamps.size() && before + k < arrivals.size(); ++k)
                ms.push_back(double(arrivals[before + k] - stamps[k]) / 1e6);
            return Of(ms);
        };
        const Figures floor = floor_of(floor_peer, floor_before, floor_given);
        const Figures wake = floor_of(wake_peer, wake_before, wake_given);
        std::printf("%-24s %-8s %8.3f %8.3f %9.3f\n", scenario.name, "send fl.", floor.p50, floor.p99, floor.worst);
        std::printf("%-24s %-8s %8.3f %8.3f %9.3f\n", "", "wake fl.", wake.p50, wake.p99, wake.worst);
        for (bool trigger : {true, false}) {
            const Figures f = Of(trigger ? trigger_ms : click_ms);
            std::printf("%-24s %-8s %8.3f %8.3f %9.3f %14s %13s %10.1f   x%.2f/x%.2f  x%.2f/x%.2f\n", "",
                        trigger ? "trigger" : "click", f.p50, f.p99, f.worst,
                        trigger ? qPrintable(QStringLiteral("%1/%2").arg(lost).arg(extra)) : "",
                        trigger ? qPrintable(QString::number(window_ns / 1e6, 'f', 2)) : "",
                        trigger ? sent / 1e6 : 0.0, f.p50 / wake.p50, f.p99 / wake.p99, f.p50 / floor.p50,
                        f.p99 / floor.p99);
        }
        if (!in_order)
            std::printf("  a start arrived before it was given: the starts are out of order\n");
        std::fflush(stdout);
        std::fprintf(stderr, "  (longest on the window's thread: event %s; the most work in one handler: %.2f ms)\n",
                     qPrintable(window_what), window_cpu_ns / 1e6);
        all_well = all_well && lost == 0 && extra == 0 && in_order;
    }
    const Display_model::Receive_stats stats = form->Network()->Display().Stats();
    std::printf("longest read on the connection's thread: %.2f ms (the most work in one read: %.3f ms); "
                "of %lld reads, %lld took over 2 ms, %lld worked over 2 ms\n",
                stats.longest_handler_ns / 1e6, stats.longest_handler_cpu_ns / 1e6, static_cast<long long>(stats.blocks),
                static_cast<long long>(stats.slow_blocks), static_cast<long long>(stats.slow_cpu_blocks));
    if (peer.Wrong_messages() != 0 || !boxes.Messages().isEmpty()) {
        std::fprintf(stderr, "unexpected: %d other messages at the server, %d message boxes\n", peer.Wrong_messages(),
                     int(boxes.Messages().size()));
        all_well = false;
    }
    delete form;
    ::close(wake_pipe[1]);
    waker.join();
    ::close(wake_pipe[0]);
    ::close(wake_fd);
    ::close(floor_fd);
    return all_well ? 0 : 1;
}
