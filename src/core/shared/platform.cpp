#include "core/shared/platform.h"

#include "core/platform/system_calls.h"
#include "core/shared/facility.h"

#include <cstdlib>

namespace {

class Silent_beep final : public System_beep
{
public:
    void Beep() override {}
};

class No_url_handler final : public Url_handler
{
public:
    bool Open(const QUrl &) override { return false; }
};

class System_uptime final : public Uptime_clock
{
public:
    qint32 Uptime_ms() override { return System_calls::Uptime_ms(); }
};

class Immediate_exit final : public Process_exit
{
public:
    void Exit_now(int code) override { std::_Exit(code); }
};

} // namespace

System_beep &System_beep::Fallback()
{
    static Silent_beep silent;
    return silent;
}

Url_handler &Url_handler::Fallback()
{
    static No_url_handler none;
    return none;
}

Uptime_clock &Uptime_clock::Fallback()
{
    static System_uptime system;
    return system;
}

Process_exit &Process_exit::Fallback()
{
    static Immediate_exit immediate;
    return immediate;
}

namespace Platform {
void Beep() { Facility<System_beep>::Get().Beep(); }
bool Open_Url(const QUrl &url) { return Facility<Url_handler>::Get().Open(url); }
qint32 Uptime_ms() { return Facility<Uptime_clock>::Get().Uptime_ms(); }
void Exit_now(int code) { Facility<Process_exit>::Get().Exit_now(code); }

void Keep_running_at_file_size_limit() { System_calls::Keep_running_at_file_size_limit(); }
qint64 Thread_cpu_ns() { return System_calls::Thread_cpu_ns(); }
} // namespace Platform
