// A stand-in for the vendor's phidget21 library, for the tests only: the C
// functions the client uses, and a few of its own that raise a board's events
// from a thread of its own, as the real library does. FAKE_PHIDGET21_HANG=open or
// close makes that call never return, as a stuck driver's, until the test lets go.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
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
    bool open = false, told = false; // told of the board attached now
};

// Recursive: a handler may call back into the library from the event thread.
#define LOCKED std::lock_guard<std::recursive_mutex> guard(lock)

namespace {

std::recursive_mutex lock;
std::set<Kit *> kits;
bool attached = false;
int serial = 0, inputs[16] = {};
std::atomic<long long> input_raised_ns{0};
std::atomic<bool> let_go{false};

// Outside the lock: a stuck driver holds its caller, not every other call.
void Hang_if_asked(const char *call)
{
    for (const char *hang = std::getenv("FAKE_PHIDGET21_HANG"); hang && !std::strcmp(hang, call) && !let_go;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

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
EXPORT int CCONV CPhidget_close(Kit *kit) { Hang_if_asked("close"); LOCKED; kit->open = false; return 0; }
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

// Each open handle hears of the attached board once, whether it was opened before
// the board came or after.
void Tell_attached() { Raise([](Kit *kit) { if (!kit->told) kit->told = true, kit->on_attach(kit, kit->on_attach_user); }); }

// The test's side of the board, called while no event thread runs.
EXPORT void fake_phidget21_attach(int board_serial) { { LOCKED; attached = true, serial = board_serial; } Tell_attached(); }
// The board goes; its inputs are read again only after a change.
EXPORT void fake_phidget21_detach()
{ Raise([](Kit *kit) { kit->told = false, kit->on_detach(kit, kit->on_detach_user); }), attached = false; }
EXPORT void fake_phidget21_change_input(int index, int state)
{
    inputs[index] = state;
    Raise([=](Kit *kit) { input_raised_ns = Monotonic_ns(), kit->on_input(kit, kit->on_input_user, index, state); });
}
// When the last input change was raised, stamped on the event thread as the handler is
// called (CLOCK_MONOTONIC, ns): where a benchmark's trigger-to-wire time starts.
EXPORT long long fake_phidget21_input_raised_ns() { return input_raised_ns; }
EXPORT int fake_phidget21_handle_count() { LOCKED; return static_cast<int>(kits.size()); }
// Every call held by FAKE_PHIDGET21_HANG returns (false: held again from now on).
EXPORT void fake_phidget21_let_go(bool go) { let_go = go; }

// A board present from the start, for trying the client by hand without hardware.
EXPORT int CCONV CPhidget_open(Kit *kit, int)
{
    Hang_if_asked("open");
    bool board_there = false;
    { LOCKED; kit->open = true, board_there = attached; }
    if (const char *board = std::getenv("FAKE_PHIDGET21_ATTACH_SERIAL"))
        fake_phidget21_attach(std::atoi(board));
    else if (board_there)
        Tell_attached();
    return 0;
}
