#include "core/start_trigger/phidget21.h"

#include "core/platform/system_calls.h"
#include "core/shared/library_calls.h"

#include <QLibrary>
#include <QMetaObject>
#include <QPointer>

#include <atomic>

namespace {

// The library's C interface, as far as we use it. Every call returns 0 on success.
extern "C" {
struct CPhidget_opaque;
struct CPhidgetInterfaceKit_opaque;
using CPhidgetHandle = CPhidget_opaque *;
using CPhidgetInterfaceKitHandle = CPhidgetInterfaceKit_opaque *;
using Attach_handler = int(PHIDGET_CCONV *)(CPhidgetHandle, void *);
using Input_change_handler = int(PHIDGET_CCONV *)(CPhidgetInterfaceKitHandle, void *, int, int);
}

struct Api
{
    int(PHIDGET_CCONV *InterfaceKit_create)(CPhidgetInterfaceKitHandle *) = nullptr;
    int(PHIDGET_CCONV *open)(CPhidgetHandle, int) = nullptr;
    int(PHIDGET_CCONV *close)(CPhidgetHandle) = nullptr;
    int(PHIDGET_CCONV *delete_)(CPhidgetHandle) = nullptr;
    int(PHIDGET_CCONV *getSerialNumber)(CPhidgetHandle, int *) = nullptr;
    int(PHIDGET_CCONV *getLibraryVersion)(const char **) = nullptr;
    int(PHIDGET_CCONV *set_OnAttach_Handler)(CPhidgetHandle, Attach_handler, void *) = nullptr;
    int(PHIDGET_CCONV *set_OnDetach_Handler)(CPhidgetHandle, Attach_handler, void *) = nullptr;
    int(PHIDGET_CCONV *set_OnInputChange_Handler)(CPhidgetInterfaceKitHandle, Input_change_handler,
                                                   void *) = nullptr;
    int(PHIDGET_CCONV *getInputState)(CPhidgetInterfaceKitHandle, int, int *) = nullptr;
};

// The library is never unloaded: its threads may outlive any one object of ours.
std::optional<Api> Load_api(const QStringList &names)
{
    for (const QString &name : names) {
        QLibrary library(name);
        if (!library.load())
            continue;
        Api api;
        // A library that lacks any one of these counts as missing.
        if (Resolve(library, "CPhidgetInterfaceKit_create", api.InterfaceKit_create)
            && Resolve(library, "CPhidget_open", api.open)
            && Resolve(library, "CPhidget_close", api.close)
            && Resolve(library, "CPhidget_delete", api.delete_)
            && Resolve(library, "CPhidget_getSerialNumber", api.getSerialNumber)
            && Resolve(library, "CPhidget_getLibraryVersion", api.getLibraryVersion)
            && Resolve(library, "CPhidget_set_OnAttach_Handler", api.set_OnAttach_Handler)
            && Resolve(library, "CPhidget_set_OnDetach_Handler", api.set_OnDetach_Handler)
            && Resolve(library, "CPhidgetInterfaceKit_set_OnInputChange_Handler", api.set_OnInputChange_Handler)
            && Resolve(library, "CPhidgetInterfaceKit_getInputState", api.getInputState))
            return api;
    }
    return std::nullopt;
}

CPhidgetHandle Common(CPhidgetInterfaceKitHandle kit)
{
    // An InterfaceKit handle is also a handle of the common device interface.
    return reinterpret_cast<CPhidgetHandle>(kit);
}

class Phidget21_interface_kit final : public Interface_kit
{
public:
    explicit Phidget21_interface_kit(const QStringList &library_names) : library_names_(library_names) {}

    ~Phidget21_interface_kit() override { Close(); }

    bool Open() override
    {
        if (handle_)
            return true;
        api_ = Load_api(library_names_);
        if (!api_)
            return false;
        CPhidgetInterfaceKitHandle kit = nullptr;
        if (api_->InterfaceKit_create(&kit) != 0 || !kit)
            return false;
        if (api_->set_OnAttach_Handler(Common(kit), &On_attach, this) != 0
            || api_->set_OnDetach_Handler(Common(kit), &On_detach, this) != 0
            || api_->set_OnInputChange_Handler(kit, &On_input_change, this) != 0) {
            api_->delete_(Common(kit));
            return false;
        }
        // Known before the open: its first events may come while it runs.
        handle_ = kit;
        if (api_->open(Common(kit), -1) != 0) { // -1: the first board found
            handle_ = nullptr;
            api_->delete_(Common(kit));
            return false;
        }
        return true;
    }

    void Close() override
    {
        // After close the library raises no more events for this handle.
        if (CPhidgetInterfaceKitHandle kit = handle_.exchange(nullptr)) {
            api_->close(Common(kit));
            api_->delete_(Common(kit));
        }
    }

    int Serial_number() const override { return serial_; }

    std::optional<bool> Input_state(int index) const override
    {
        int state = 0;
        CPhidgetInterfaceKitHandle kit = handle_;
        if (!kit || api_->getInputState(kit, index, &state) != 0)
            return std::nullopt;
        return state != 0;
    }

private:
    // These run on the library's threads: nothing here touches the object beyond
    // posting the event to the thread that owns it (and, for an input change, telling
    // those connected directly).
    static int PHIDGET_CCONV On_attach(CPhidgetHandle phid, void *user)
    {
        auto *self = static_cast<Phidget21_interface_kit *>(user);
        int serial = 0;
        // Read while the library reports the board attached; it may be gone later.
        if (self->api_->getSerialNumber(phid, &serial) != 0)
            serial = 0;
        QMetaObject::invokeMethod(
            self,
            [self, serial] {
                self->serial_ = serial;
                emit self->Attached();
            },
            Qt::QueuedConnection);
        return 0;
    }

    static int PHIDGET_CCONV On_detach(CPhidgetHandle, void *user)
    {
        auto *self = static_cast<Phidget21_interface_kit *>(user);
        QMetaObject::invokeMethod(self, [self] { emit self->Detached(); }, Qt::QueuedConnection);
        return 0;
    }

    static int PHIDGET_CCONV On_input_change(CPhidgetInterfaceKitHandle, void *user, int index, int state)
    {
        auto *self = static_cast<Phidget21_interface_kit *>(user);
        emit self->Input_changing(index, state != 0); // a start goes from here, not from the owner's thread
        QMetaObject::invokeMethod(
            self, [self, index, state] { emit self->Input_changed(index, state != 0); }, Qt::QueuedConnection);
        return 0;
    }

    const QStringList library_names_;
    std::optional<Api> api_; // set by Open() before the handle
    std::atomic<CPhidgetInterfaceKitHandle> handle_{nullptr}; // opened on one thread, read on others
    int serial_ = 0;
};

} // namespace

QStringList Phidget21_library::Default_library_names()
{
    QStringList names;
    for (const char *const *name = System_calls::Phidget_library_names(); *name; ++name)
        names << QString::fromUtf8(*name);
    return names;
}

Phidget21_library::Phidget21_library(const QStringList &names) : names_(names) {}

std::unique_ptr<Interface_kit> Phidget21_library::Make_interface_kit()
{
    return std::make_unique<Phidget21_interface_kit>(names_);
}

std::optional<QString> Phidget21_library::Library_version()
{
    const std::optional<Api> api = Load_api(names_);
    if (!api)
        return std::nullopt;
    CPhidgetInterfaceKitHandle kit = nullptr;
    if (api->InterfaceKit_create(&kit) != 0 || !kit)
        return std::nullopt;
    const char *text = nullptr;
    const int rc = api->getLibraryVersion(&text);
    std::optional<QString> version;
    if (rc == 0 && text)
        version = QString::fromLocal8Bit(text);
    api->delete_(Common(kit));
    return version;
}
