#pragma once
// The vendor's phidget21 library, loaded at run time so the program runs (without
// a board) where it is not installed.

#include "core/start_trigger/interface_kit.h"
#include "core/start_trigger/vendor_library.h"

#include <QStringList>

class Phidget21_library final : public Vendor_library
{
public:
    // The names the library is looked up by, in the system's normal library search.
    static QStringList Default_library_names();

    explicit Phidget21_library(const QStringList &names = Default_library_names());

    // Open() fails when the library is missing or lacks one of the functions used.
    std::unique_ptr<Interface_kit> Make_interface_kit() override;
    // Asked of a fresh InterfaceKit that is never opened.
    std::optional<QString> Library_version() override;

private:
    QStringList names_;
};
