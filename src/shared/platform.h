#pragma once
// The few facilities that differ between operating systems, behind one small
// interface. Everything else in the program is plain Qt.

#include <QString>
#include <QUrl>
#include <QtGlobal>
#include <functional>

namespace Platform {

// The system beep.
void Beep();

// Hands a URL (mailto:, file:) to the desktop's handler without waiting. False when
// nothing could take it.
bool Open_Url(const QUrl &url);

// Milliseconds since the system started, as a signed 32-bit counter that wraps.
qint32 Uptime_ms();

// True while either Ctrl key is held, asked of the window system now.
bool Ctrl_Key_Down();

// Synthesizes one Shift press and release to whatever window has the focus.
void Press_Shift_Key();

// Test seams: while set, the call goes to the hook instead of the system.
struct Hooks
{
    std::function<void()> beep;
    std::function<bool()> ctrl_down;
    std::function<bool(const QUrl &)> open_url;
    std::function<void()> press_shift;
};
Hooks &Test_Hooks();

} // namespace Platform
