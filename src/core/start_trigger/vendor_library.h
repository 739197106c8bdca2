#pragma once
// The vendor-library facility (see core/shared/facility.h): the InterfaceKit boards of the
// hardware start trigger and the library's version.

#include <QString>
#include <memory>
#include <optional>

class Interface_kit;

class Vendor_library
{
public:
    virtual ~Vendor_library() = default;
    // An InterfaceKit of the library; its Open() fails when the library is unusable.
    virtual std::unique_ptr<Interface_kit> Make_interface_kit() = 0;
    // The library's own version text; nothing without a usable library.
    virtual std::optional<QString> Library_version() = 0;
    static Vendor_library &Fallback(); // phidget21, found by the system's library search
};
