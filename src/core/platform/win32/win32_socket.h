#pragma once
// TCP options of a connected socket on Windows. Qt-free (see win32_keyboard.h).

#include <cstdint>

// Keep-alive probes after idle_ms of silence, interval_ms apart (Windows gives up after
// ten), and an end once sent data has gone unacknowledged for timeout_s. False when
// Windows refused either.
bool Win32_limit_dead_link(std::uintptr_t socket, unsigned long idle_ms, unsigned long interval_ms,
                           unsigned long timeout_s);
