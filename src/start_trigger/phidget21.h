#pragma once
// The vendor's phidget21 library, loaded at run time so the program runs (without
// a board) where it is not installed.

#include "start_trigger/interface_kit.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace Phidget21 {

// The names the library is looked up by, in the system's normal library search.
QStringList Default_library_names();
// Tests point the loader elsewhere; an empty list restores the defaults.
void Set_library_names(const QStringList &names);

// An InterfaceKit of the library; Open() fails when the library is missing or lacks
// one of the functions used.
std::unique_ptr<Interface_kit> Make_interface_kit();

// The library's own version text, asked of a fresh InterfaceKit that is never opened.
std::optional<QString> Library_version();

} // namespace Phidget21
