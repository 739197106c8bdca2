#include "shared/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>

#include <chrono>
#include <ctime>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace Platform {

Hooks &Test_Hooks()
{
    static Hooks hooks;
    return hooks;
}

void Beep()
{
    if (Test_Hooks().beep) {
        Test_Hooks().beep();
        return;
    }
    QApplication::beep();
}

bool Open_Url(const QUrl &url)
{
    if (Test_Hooks().open_url)
        return Test_Hooks().open_url(url);
    return QDesktopServices::openUrl(url);
}

qint32 Uptime_ms()
{
#if defined(Q_OS_WIN)
    return static_cast<qint32>(GetTickCount());
#elif defined(CLOCK_BOOTTIME)
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
    return static_cast<qint32>(static_cast<quint32>(ms)); // wraps like the Windows counter
#else
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch()).count();
    return static_cast<qint32>(static_cast<quint32>(ms));
#endif
}

bool Ctrl_Key_Down()
{
    if (Test_Hooks().ctrl_down)
        return Test_Hooks().ctrl_down();
    // Asks the window system for the keys held now, not the state of the last event.
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

} // namespace Platform
