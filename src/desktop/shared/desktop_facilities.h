#pragma once
// The real platform facilities of the desktop: message boxes, the system beep, the
// URL handler, the keyboard, the sound output, the printers, the screen saver and the
// desktop notifications.
// While an object lives they are the ones in use (see core/shared/facility.h); the
// facilities that need no desktop (uptime clock, process exit, vendor library) are
// real already without it.

#include <memory>

class Desktop_facilities
{
public:
    Desktop_facilities();
    ~Desktop_facilities();
    Desktop_facilities(const Desktop_facilities &) = delete;
    Desktop_facilities &operator=(const Desktop_facilities &) = delete;

private:
    struct Installed;
    std::unique_ptr<Installed> installed_;
};
