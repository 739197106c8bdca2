// How long the client takes from its start to its first paint on the screen, and how
// much memory it holds 2 s after its start, beside a bare Qt Widgets window of the
// same size started the same way (the floor), and beside a window of that size with a
// menu and a label, a text box, a button and a log box (what any window with texts
// pays: the font set-up, the text engines, the menu bar's icons): each started in
// turn, 9 times (after one of each not counted), on a display of the benchmark's own;
// the first paint is the X server's first damage to the window, seen from outside
// (X DAMAGE extension).
//   tools/with-display.sh bench/bench_startup path/to/velantra-remote [runs]

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long Now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long Rss_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

struct Run
{
    double first_paint_ms = -1;
    double rss_mib = 0;
    int width = 0, height = 0;
};

// Starts the program, waits for the first damage to a window it maps, and reads its
// memory 2 s after its start.
Run Start_and_watch(Display *d, int damage_event, const std::vector<std::string> &command)
{
    Run run;
    QTemporaryDir home;
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, True); // nothing of an earlier run left
    const long long start = Now_ns();
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string dir = home.path().toStdString();
        setenv("HOME", dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
        std::vector<char *> argv;
        for (const std::string &arg : command)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::set<Window> mapped;
    std::vector<Damage> damages;
    const int fd = ConnectionNumber(d);
    while (run.first_paint_ms < 0 && Now_ns() - start < 10'000'000'000LL) {
        if (!XPending(d)) {
            pollfd wait{fd, POLLIN, 0};
            poll(&wait, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == CreateNotify)
            damages.push_back(XDamageCreate(d, event.xcreatewindow.window, XDamageReportNonEmpty));
        else if (event.type == MapNotify)
            mapped.insert(event.xmap.window);
        else if (event.type == damage_event + XDamageNotify) {
            const auto *damage = reinterpret_cast<XDamageNotifyEvent *>(&event);
            if (mapped.count(damage->drawable)) {
                run.first_paint_ms = double(Now_ns() - start) / 1e6;
                XWindowAttributes attributes;
                XGetWindowAttributes(d, damage->drawable, &attributes);
                run.width = attributes.width;
                run.height = attributes.height;
            }
        }
    }
    const long long at_2s = start + 2'000'000'000LL;
    while (Now_ns() < at_2s)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    run.rss_mib = Rss_kib(pid) / 1024.0;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    XSelectInput(d, DefaultRootWindow(d), NoEventMask);
    XSync(d, True);
    return run;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && (std::string(argv[1]) == "--bare" || std::string(argv[1]) == "--texts")) {
        // The references: a bare window of the client's size; and one with a menu and the
        // kinds of control the client has, with texts (fonts, the menu bar's icons).
        QApplication app(argc, argv);
        QWidget bare;
        QMainWindow with_texts;
        QWidget &window = std::string(argv[1]) == "--texts" ? static_cast<QWidget &>(with_texts) : bare;
        if (&window == &with_texts) {
            with_texts.menuBar()->addMenu(QStringLiteral("&Form"))->addAction(QStringLiteral("E&xit"));
            auto *controls = new QWidget;
            auto *layout = new QVBoxLayout(controls);
            layout->addWidget(new QLabel(QStringLiteral("Heat 12 Ready")));
            layout->addWidget(new QLineEdit(QStringLiteral("192.168.1.20")));
            layout->addWidget(new QPushButton(QStringLiteral("Start")));
            layout->addWidget(new QPlainTextEdit(QStringLiteral("12:00:00 Velantra Start")));
            with_texts.setCentralWidget(controls);
        }
        window.resize(std::atoi(argv[2]), std::atoi(argv[3]));
        window.show();
        return QApplication::exec();
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/velantra-remote [runs]\n", argv[0]);
        return 2;
    }
    const std::string client = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    Display *d = XOpenDisplay(nullptr);
    int damage_event = 0, damage_error = 0;
    if (!d || !XDamageQueryExtension(d, &damage_event, &damage_error)) {
        std::fprintf(stderr, "no X display with the DAMAGE extension: run under tools/with-display.sh\n");
        return 1;
    }
    const std::string self = std::string("/proc/self/exe");
    char path[4096];
    const ssize_t n = readlink(self.c_str(), path, sizeof path - 1);
    const std::string bench = n > 0 ? std::string(path, size_t(n)) : std::string(argv[0]);

    const Run first = Start_and_watch(d, damage_event, {client}); // not counted: the size, the file cache
    if (first.first_paint_ms < 0) {
        std::fprintf(stderr, "the client painted nothing in 10 s\n");
        return 1;
    }
    const std::vector<std::string> bare = {bench, "--bare", std::to_string(first.width), std::to_string(first.height)};
    const std::vector<std::string> texts = {bench, "--texts", std::to_string(first.width), std::to_string(first.height)};
    Start_and_watch(d, damage_event, bare);
    Start_and_watch(d, damage_event, texts);
    std::vector<double> client_ms, bare_ms, texts_ms, client_mib, bare_mib, texts_mib, ratio, texts_ratio;
    for (int i = 0; i < runs; ++i) {
        const Run c = Start_and_watch(d, damage_event, {client});
        const Run b = Start_and_watch(d, damage_event, bare);
        const Run t = Start_and_watch(d, damage_event, texts);
        client_ms.push_back(c.first_paint_ms);
        bare_ms.push_back(b.first_paint_ms);
        texts_ms.push_back(t.first_paint_ms);
        client_mib.push_back(c.rss_mib);
        bare_mib.push_back(b.rss_mib);
        texts_mib.push_back(t.rss_mib);
        ratio.push_back(c.first_paint_ms / b.first_paint_ms);
        texts_ratio.push_back(c.first_paint_ms / t.first_paint_ms);
    }
    std::printf("%d starts of each, in turn, %dx%d windows; start to first paint, memory 2 s after the start:\n", runs,
                first.width, first.height);
    std::printf("%-22s %10s %10s %10s %12s\n", "", "median ms", "min ms", "max ms", "median MiB");
    std::printf("%-22s %10.1f %10.1f %10.1f %12.1f\n", "client", Median(client_ms),
                *std::min_element(client_ms.begin(), client_ms.end()),
                *std::max_element(client_ms.begin(), client_ms.end()), Median(client_mib));
    std::printf("%-22s %10.1f %10.1f %10.1f %12.1f\n", "bare Qt window (floor)", Median(bare_ms),
                *std::min_element(bare_ms.begin(), bare_ms.end()), *std::max_element(bare_ms.begin(), bare_ms.end()),
                Median(bare_mib));
    std::printf("%-22s %10.1f %10.1f %10.1f %12.1f\n", "Qt window with texts", Median(texts_ms),
                *std::min_element(texts_ms.begin(), texts_ms.end()), *std::max_element(texts_ms.begin(), texts_ms.end()),
                Median(texts_mib));
    std::printf("client / floor: start-up %.2fx (medians; %.2f-%.2fx run by run), memory %.2fx\n",
                Median(client_ms) / Median(bare_ms), *std::min_element(ratio.begin(), ratio.end()),
                *std::max_element(ratio.begin(), ratio.end()), Median(client_mib) / Median(bare_mib));
    std::printf("client / window with texts: start-up %.2fx (medians; %.2f-%.2fx run by run), memory %.2fx\n",
                Median(client_ms) / Median(texts_ms), *std::min_element(texts_ratio.begin(), texts_ratio.end()),
                *std::max_element(texts_ratio.begin(), texts_ratio.end()), Median(client_mib) / Median(texts_mib));
    XCloseDisplay(d);
    return 0;
}
