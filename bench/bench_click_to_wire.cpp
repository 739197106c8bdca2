// How long a real click on Start takes to reach the server: X clicks made with XTest on
// a display of the benchmark's own (tools/with-display.sh), from the moment the release
// is handed to the X server to the moment a loopback server in this process holds the
// Start line, on one clock (CLOCK_MONOTONIC). Space and Return on the focused Start are
// timed the same way (from the release of Space, from the press of Return). Beside them,
// in the same run and in turn with them: the X floor, a bare Xlib window that sends the
// Start line at its ButtonRelease, and a bare Qt push button that sends it from clicked.
//   tools/with-display.sh bench/bench_click_to_wire [clicks per kind]      (default 100)

#include "bench_support.h"

#include <QWindow>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

const char Start_line[] = "12:34:56 Velantra Start%";

// The X floor: a window of plain Xlib on a thread of its own, blocked in XNextEvent,
// that sends the Start line at each ButtonRelease.
class Bare_x_window
{
public:
    Bare_x_window(int fd, int x, int y, int width, int height) : fd_(fd)
    {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            std::fprintf(stderr, "no X display: run under tools/with-display.sh\n");
            std::exit(1);
        }
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True; // where it is put, whatever manages windows
        attributes.event_mask = ButtonPressMask | ButtonReleaseMask | ExposureMask | StructureNotifyMask;
        attributes.background_pixel = WhitePixel(display_, DefaultScreen(display_));
        window_ = XCreateWindow(display_, DefaultRootWindow(display_), x, y, unsigned(width), unsigned(height), 0,
                                CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect | CWEventMask | CWBackPixel, &attributes);
        stop_ = XInternAtom(display_, "VELANTRA_BENCH_STOP", False);
        XMapRaised(display_, window_);
        XSync(display_, False);
        thread_ = std::thread([this] {
            for (;;) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapNotify)
                    mapped = true;
                else if (event.type == ButtonRelease)
                    (void)::send(fd_, Start_line, 24, MSG_NOSIGNAL);
                else if (event.type == ClientMessage && Atom(event.xclient.message_type) == stop_)
                    return;
            }
        });
    }
    ~Bare_x_window()
    {
        Display *other = XOpenDisplay(nullptr);
        XEvent stop{};
        stop.xclient.type = ClientMessage;
        stop.xclient.window = window_;
        stop.xclient.message_type = stop_;
        stop.xclient.format = 32;
        XSendEvent(other, window_, False, 0, &stop);
        XFlush(other);
        thread_.join();
        XCloseDisplay(other);
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    std::atomic<bool> mapped{false};

private:
    int fd_;
    Display *display_ = nullptr;
    Window window_ = 0;
    Atom stop_ = 0;
    std::thread thread_;
};

struct Figures
{
    double p50 = 0, p99 = 0, worst = 0; // ms
    size_t count = 0;
};

Figures Of(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[size_t(std::ceil(0.99 * double(ms.size()))) - 1], ms.back(), ms.size()};
}

enum Kind { X_floor, Qt_button, Client_click, Client_space, Client_return, Kinds };
const char *const Kind_names[Kinds] = {"X floor: bare Xlib window", "bare Qt QPushButton", "client: click on Start",
                                       "client: Space on Start", "client: Return on Start"};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    Isolated_user_dirs dirs;
    Message_recorder boxes;
    const int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    constexpr int Warm_up = 3; // rounds not counted: the first paints and look-ups

    Stamping_peer x_peer, qt_peer, client_peer;
    const int x_fd = Connect_to(x_peer.listener.port);
    x_peer.Accept();
    const int qt_fd = Connect_to(qt_peer.listener.port);
    qt_peer.Accept();

    auto *form = new Form_remotestart;
    form->Form_Load();
    form->move(0, 120);
    form->show();
    QPushButton *start = Find<QPushButton>(form, "Command_start");
    Connect_window(*form, client_peer.listener.port);
    client_peer.Accept();

    QPushButton bare(QStringLiteral("Start"));
    bare.setGeometry(240, 20, start->width(), start->height());
    QObject::connect(&bare, &QPushButton::clicked, [qt_fd] { (void)::send(qt_fd, Start_line, 24, MSG_NOSIGNAL); });
    bare.show();
    Bare_x_window x_window(x_fd, 20, 20, start->width(), start->height());
    if (!Run_until([&] {
            return x_window.mapped && form->windowHandle()->isExposed() && bare.windowHandle()->isExposed();
        }, 10000)) {
        std::fprintf(stderr, "the windows were not shown\n");
        return 1;
    }
    Run_until([] { return false; }, 300); // the first paints done
    const QPoint points[3] = {QPoint(20 + start->width() / 2, 20 + start->height() / 2),
                              bare.mapToGlobal(bare.rect().center()), start->mapToGlobal(start->rect().center())};

    std::vector<std::pair<Kind, long long>> given;
    std::atomic<bool> done{false};
    std::thread clicker([&] {
        Display *d = XOpenDisplay(nullptr);
        const KeyCode space = XKeysymToKeycode(d, XK_space), enter = XKeysymToKeycode(d, XK_Return);
        const auto pause = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
        const auto flush_stamp = [&] {
            const long long stamp = Now_ns();
            XFlush(d);
            return stamp;
        };
        for (int round = 0; round < clicks + Warm_up; ++round) {
            for (int k = 0; k < Kinds; ++k) {
                const Kind kind = Kind(k);
                long long stamp = 0;
                if (kind <= Client_click) {
                    const QPoint at = points[k];
                    XTestFakeMotionEvent(d, -1, at.x(), at.y(), 0);
                    XTestFakeButtonEvent(d, 1, True, 0);
                    XFlush(d);
                    pause(10);
                    XTestFakeButtonEvent(d, 1, False, 0);
                    stamp = flush_stamp();
                } else if (kind == Client_space) { // Start was clicked just now: it has the focus
                    XTestFakeKeyEvent(d, space, True, 0);
                    XFlush(d);
                    pause(10);
                    XTestFakeKeyEvent(d, space, False, 0);
                    stamp = flush_stamp();
                } else {
                    XTestFakeKeyEvent(d, enter, True, 0);
                    stamp = flush_stamp();
                    pause(10);
                    XTestFakeKeyEvent(d, enter, False, 0);
                    XFlush(d);
                }
                if (round >= Warm_up)
                    given.emplace_back(kind, stamp);
                else
                    given.emplace_back(Kinds, stamp); // arrives, not counted
                pause(30); // 40 ms apart
            }
        }
        XCloseDisplay(d);
        done = true;
    });
    Run_until([&] { return done.load(); }, 600000);
    clicker.join();
    const size_t rounds = size_t(clicks + Warm_up);
    Run_until([&] {
        return x_peer.Arrivals().size() >= rounds && qt_peer.Arrivals().size() >= rounds
               && client_peer.Arrivals().size() >= 3 * rounds;
    }, 5000);

    // A Start belongs to the last start given to its window before it arrived: one that
    // comes later than the next is counted lost, never taken for another.
    std::vector<double> ms[Kinds];
    int lost[Kinds] = {};
    const std::vector<long long> arrivals[3] = {x_peer.Arrivals(), qt_peer.Arrivals(), client_peer.Arrivals()};
    size_t extra = 0;
    for (int server = 0; server < 3; ++server) {
        std::vector<size_t> mine;
        for (size_t i = 0; i < given.size(); ++i)
            if (std::min(int(i % Kinds), 2) == server)
                mine.push_back(i);
        size_t a = 0;
        for (size_t m = 0; m < mine.size(); ++m) {
            const long long from = given[mine[m]].second;
            const long long until = m + 1 < mine.size() ? given[mine[m + 1]].second : LLONG_MAX;
            while (a < arrivals[server].size() && arrivals[server][a] < from)
                ++a, ++extra; // before any start was given: one too many
            const int k = int(mine[m] % Kinds);
            if (a < arrivals[server].size() && arrivals[server][a] < until) {
                if (given[mine[m]].first != Kinds)
                    ms[k].push_back(double(arrivals[server][a] - from) / 1e6);
                ++a;
            } else if (given[mine[m]].first != Kinds) {
                ++lost[k];
            }
        }
        extra += arrivals[server].size() - a;
    }
    std::printf("%d X clicks and keys of each kind, 40 ms apart, in turn; from the release handed to the X "
                "server (Return: its press) to the Start line at the server:\n",
                clicks);
    std::printf("%-28s %7s %5s %8s %8s %9s %11s %11s\n", "", "starts", "late", "p50 ms", "p99 ms", "worst ms",
                "p50/X fl.", "p50/Qt btn");
    const Figures x_floor = Of(ms[X_floor]), qt_button = Of(ms[Qt_button]);
    for (int k = 0; k < Kinds; ++k) {
        const Figures f = Of(ms[k]);
        std::printf("%-28s %7zu %5d %8.3f %8.3f %9.3f %10.2fx %10.2fx\n", Kind_names[k], f.count, lost[k], f.p50,
                    f.p99, f.worst, f.p50 / x_floor.p50, f.p50 / qt_button.p50);
    }
    std::printf("(late: a start that came after the next one was given, or never; %zu unmatched)\n", extra);
    const bool all_well = boxes.Messages().isEmpty();
    if (!all_well)
        std::fprintf(stderr, "unexpected: %d message boxes\n", int(boxes.Messages().size()));
    delete form;
    ::close(x_fd);
    ::close(qt_fd);
    return all_well ? 0 : 1;
}
