#pragma once
// A library loaded while the program runs (QLibrary): its functions found by name.

#include <QLibrary>

// Sets function to the library's symbol of that name, or to null; true when found.
template <typename F>
bool Resolve(QLibrary &library, const char *symbol, F &function)
{
    function = reinterpret_cast<F>(library.resolve(symbol));
    return function != nullptr;
}
