#pragma once
// The test's side of the stand-in phidget21 library: raises a board's events
// from a thread of the library's own.

#include <QLibrary>

struct Fake_board
{
    void (*attach)(int serial) = nullptr;
    void (*detach)() = nullptr;
    void (*change_input)(int index, int state) = nullptr;
    int (*handle_count)() = nullptr;
    void (*reset)() = nullptr;

    // The same library the program finds through the system's library search.
    bool Load()
    {
        QLibrary library(QStringLiteral("libphidget21.so.0"));
        if (!library.load())
            return false;
        attach = reinterpret_cast<void (*)(int)>(library.resolve("fake_phidget21_attach"));
        detach = reinterpret_cast<void (*)()>(library.resolve("fake_phidget21_detach"));
        change_input = reinterpret_cast<void (*)(int, int)>(library.resolve("fake_phidget21_change_input"));
        handle_count = reinterpret_cast<int (*)()>(library.resolve("fake_phidget21_handle_count"));
        reset = reinterpret_cast<void (*)()>(library.resolve("fake_phidget21_reset"));
        return attach && detach && change_input && handle_count && reset;
    }
};
