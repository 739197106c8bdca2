// A stand-in for the vendor's phidget21 library, for the tests only: the C
// functions the client uses, and a few of its own that raise a board's events
// from a thread of its own, as the real library does.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

// The vendor's calling convention for its functions and the handlers it calls; the
// test's own functions (fake_phidget21_*) keep the compiler's default.
#ifdef _WIN32
#define CCONV __stdcall
#define EXPORT extern "C" __declspec(dllexport)
#else
#define CCONV
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

struct Kit
{
    int(CCONV *on_attach)(Kit *, void *) = nullptr, (CCONV *on_detach)(Kit *, void *) = nullptr;
    int(CCONV *on_input)(Kit *, void *, int, int) = nullptr;
    void *on_attach_user = nullptr, *on_detach_user = nullptr, *on_input_user = nullptr;
    bool open = false;
};

// Recursive: a handler may call back into the library from the event thread.
#define LOCKED std::lock_guard<std::recursive_mutex> guard(lock)

namespace {

std::recursive_mutex lock;
std::set<Kit *> kits;
bool attached = false;
int serial = 0, inputs[16] = {};
std::atomic<long long> input_raised_ns{0};

long long Monotonic_ns() // CLOCK_MONOTONIC on Linux, as the benchmark's clock
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Raises an event for each open handle on a thread of the library's own, joined
// so that events come in the order the test raised them.
template <typename F>
void Raise(F event) { std::thread([&event] { LOCKED; for (Kit *kit : kits) if (kit->open) event(kit); }).join(); }

} // namespace

// Handles are the client's to keep right: a stale one is AddressSanitizer's to find.
EXPORT int CCONV CPhidgetInterfaceKit_create(Kit **phid) { LOCKED; *phid = *kits.insert(new Kit).first; return 0; }
EXPORT int CCONV CPhidget_close(Kit *kit) { LOCKED; kit->open = false; return 0; }
EXPORT int CCONV CPhidget_delete(Kit *kit) { LOCKED; kits.erase(kit); delete kit; return 0; }
EXPORT int CCONV CPhidget_getSerialNumber(Kit *kit, int *serialNumber)
{ LOCKED; return kit->open && attached ? (*serialNumber = serial, 0) : 1; }
EXPORT int CCONV CPhidgetInterfaceKit_getInputState(Kit *kit, int index, int *inputState)
{ LOCKED; return kit->open && attached && index >= 0 && index < 16 ? (*inputState = inputs[index], 0) : 1; }
#ifndef FAKE_PHIDGET21_WITHOUT_VERSION
EXPORT int CCONV CPhidget_getLibraryVersion(const char **libraryVersion)
{ return *libraryVersion = "Phidget21 - Version 2.1.8 - Built for the tests", 0; }
#endif

#define SETTER(name, handler, params)                                                      \
    EXPORT int CCONV name(Kit *kit, int(CCONV *fptr) params, void *userPtr)                \
    { LOCKED; return kit->handler = fptr, kit->handler##_user = userPtr, 0; }
SETTER(CPhidget_set_OnAttach_Handler, on_attach, (Kit *, void *))
SETTER(CPhidget_set_OnDetach_Handler, on_detach, (Kit *, void *))
SETTER(CPhidgetInterfaceKit_set_OnInputChange_Handler, on_input, (Kit *, void *, int, int))

// The test's side of the board, called while no event thread runs.
EXPORT void fake_phidget21_attach(int board_serial)
{ attached = true, serial = board_serial, Raise([](Kit *kit) { kit->on_attach(kit, kit->on_attach_user); }); }
// The board goes; its inputs are read again only after a change.
EXPORT void fake_phidget21_detach()
{ Raise([](Kit *kit) { kit->on_detach(kit, kit->on_detach_user); }), attached = false; }
EXPORT void fake_phidget21_change_input(int index, int state)
{
    inputs[index] = state;
    Raise([=](Kit *kit) { input_raised_ns = Monotonic_ns(), kit->on_input(kit, kit->on_input_user, index, state); });
}
// When the last input change was raised, stamped on the event thread as the handler is
// called (CLOCK_MONOTONIC, ns): where a benchmark's trigger-to-wire time starts.
EXPORT long long fake_phidget21_input_raised_ns() { return input_raised_ns; }
EXPORT int fake_phidget21_handle_count() { LOCKED; return static_cast<int>(kits.size()); }

// A board present from the start, for trying the client by hand without hardware.
EXPORT int CCONV CPhidget_open(Kit *kit, int)
{
    { LOCKED; kit->open = true; }
    if (const char *board = std::getenv("FAKE_PHIDGET21_ATTACH_SERIAL"))
        fake_phidget21_attach(std::atoi(board));
    return 0;
}
