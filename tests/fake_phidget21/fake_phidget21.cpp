// A stand-in for the vendor's phidget21 library, for the tests only: the same C
// functions, and a few of its own that raise a board's events from a thread of
// its own, the way the real library does.

#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
struct CPhidget_opaque;
struct CPhidgetInterfaceKit_opaque;
typedef CPhidget_opaque *CPhidgetHandle;
typedef CPhidgetInterfaceKit_opaque *CPhidgetInterfaceKitHandle;
typedef int (*Attach_handler)(CPhidgetHandle, void *);
typedef int (*Input_change_handler)(CPhidgetInterfaceKitHandle, void *, int, int);
}

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const int Error = 1;

struct Kit
{
    Attach_handler on_attach = nullptr;
    void *attach_user = nullptr;
    Attach_handler on_detach = nullptr;
    void *detach_user = nullptr;
    Input_change_handler on_input = nullptr;
    void *input_user = nullptr;
    bool open = false;
};

// Recursive: a handler may call back into the library from the event thread.
std::recursive_mutex lock;
std::vector<Kit *> kits;
bool board_attached = false;
int board_serial = 0;
int inputs[16] = {};
int opens = 0;

Kit *Find(void *handle)
{
    for (Kit *kit : kits)
        if (kit == handle)
            return kit;
    return nullptr;
}

// Runs the work on a thread of its own and waits for it, so the events come from a
// foreign thread but in the order the test raised them.
template <typename F>
void On_event_thread(F work)
{
    std::thread thread([&work] {
        std::lock_guard<std::recursive_mutex> guard(lock);
        work();
    });
    thread.join();
}

void Raise_attach(Kit *kit)
{
    if (kit->open && kit->on_attach)
        kit->on_attach(reinterpret_cast<CPhidgetHandle>(kit), kit->attach_user);
}

} // namespace

FAKE_EXPORT int CPhidgetInterfaceKit_create(CPhidgetInterfaceKitHandle *phid)
{
    if (!phid)
        return Error;
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = new Kit;
    kits.push_back(kit);
    *phid = reinterpret_cast<CPhidgetInterfaceKitHandle>(kit);
    return 0;
}

FAKE_EXPORT int CPhidget_open(CPhidgetHandle phid, int)
{
    bool raise = false;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        Kit *kit = Find(phid);
        if (!kit || kit->open)
            return Error;
        kit->open = true;
        ++opens;
        if (!board_attached) {
            if (const char *serial = std::getenv("FAKE_PHIDGET21_ATTACH_SERIAL")) {
                // For a demonstration run of the client: a board is there from the start.
                board_attached = true;
                board_serial = std::atoi(serial);
            }
        }
        raise = board_attached;
    }
    // A board already there is reported at once, from the library's own thread.
    if (raise)
        On_event_thread([phid] {
            if (Kit *kit = Find(phid))
                Raise_attach(kit);
        });
    return 0;
}

FAKE_EXPORT int CPhidget_close(CPhidgetHandle phid)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit || !kit->open)
        return Error;
    kit->open = false;
    --opens;
    return 0;
}

FAKE_EXPORT int CPhidget_delete(CPhidgetHandle phid)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit)
        return Error;
    if (kit->open)
        --opens;
    for (auto it = kits.begin(); it != kits.end(); ++it)
        if (*it == kit) {
            kits.erase(it);
            break;
        }
    delete kit;
    return 0;
}

FAKE_EXPORT int CPhidget_getSerialNumber(CPhidgetHandle phid, int *serialNumber)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit || !serialNumber || !kit->open || !board_attached)
        return Error;
    *serialNumber = board_serial;
    return 0;
}

#ifndef FAKE_PHIDGET21_WITHOUT_VERSION
FAKE_EXPORT int CPhidget_getLibraryVersion(const char **libraryVersion)
{
    if (!libraryVersion)
        return Error;
    *libraryVersion = "Phidget21 - Version 2.1.8 - Built for the tests";
    return 0;
}
#endif

FAKE_EXPORT int CPhidget_set_OnAttach_Handler(CPhidgetHandle phid, Attach_handler fptr, void *userPtr)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit)
        return Error;
    kit->on_attach = fptr;
    kit->attach_user = userPtr;
    return 0;
}

FAKE_EXPORT int CPhidget_set_OnDetach_Handler(CPhidgetHandle phid, Attach_handler fptr, void *userPtr)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit)
        return Error;
    kit->on_detach = fptr;
    kit->detach_user = userPtr;
    return 0;
}

FAKE_EXPORT int CPhidgetInterfaceKit_set_OnInputChange_Handler(CPhidgetInterfaceKitHandle phid,
                                                               Input_change_handler fptr, void *userPtr)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit)
        return Error;
    kit->on_input = fptr;
    kit->input_user = userPtr;
    return 0;
}

FAKE_EXPORT int CPhidgetInterfaceKit_getInputState(CPhidgetInterfaceKitHandle phid, int index, int *inputState)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    Kit *kit = Find(phid);
    if (!kit || !inputState || !kit->open || !board_attached || index < 0 || index >= 16)
        return Error;
    *inputState = inputs[index];
    return 0;
}

// The test's side of the board.

FAKE_EXPORT void fake_phidget21_attach(int serial)
{
    On_event_thread([serial] {
        board_attached = true;
        board_serial = serial;
        for (Kit *kit : kits)
            Raise_attach(kit);
    });
}

FAKE_EXPORT void fake_phidget21_detach()
{
    On_event_thread([] {
        for (Kit *kit : kits)
            if (kit->open && kit->on_detach)
                kit->on_detach(reinterpret_cast<CPhidgetHandle>(kit), kit->detach_user);
        board_attached = false;
    });
}

FAKE_EXPORT void fake_phidget21_change_input(int index, int state)
{
    if (index < 0 || index >= 16)
        return;
    On_event_thread([index, state] {
        inputs[index] = state;
        for (Kit *kit : kits)
            if (kit->open && kit->on_input)
                kit->on_input(reinterpret_cast<CPhidgetInterfaceKitHandle>(kit), kit->input_user, index, state);
    });
}

// Handles created and not yet deleted, and of them those open.
FAKE_EXPORT int fake_phidget21_handle_count()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    return static_cast<int>(kits.size());
}

FAKE_EXPORT int fake_phidget21_open_count()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    return opens;
}

FAKE_EXPORT void fake_phidget21_reset()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    board_attached = false;
    board_serial = 0;
    for (int &input : inputs)
        input = 0;
}
