#pragma once
// The one way the program reaches a platform facility (message boxes, sound, the
// printer, the vendor library, ...): a small interface, reached through
// Facility<Interface>::Get().
//
// Run_client installs the real implementations for the life of the program; a test
// installs a stand-in the same way, for as long as a Scoped_facility lives:
//
//     Beep_counter beeps;                           // a System_beep of the test's own
//     Scoped_facility<System_beep> use(beeps);      // the previous one is back at the '}'
//
// With nothing installed, Get() gives the interface's Fallback(): what a program
// without a desktop gets (a quiet one, the console, or the real one where that needs
// no window system). Every interface therefore declares
//     static Interface &Fallback();

#include <QtGlobal>

#include <atomic>

template <typename Interface> class Scoped_facility;

template <typename Interface>
class Facility
{
public:
    // The implementation in use now.
    static Interface &Get()
    {
        Interface *installed = installed_.load(std::memory_order_acquire);
        return installed ? *installed : Interface::Fallback();
    }

private:
    friend class Scoped_facility<Interface>;
    // Atomic: a facility may be asked from a thread other than the one that installed it.
    static inline std::atomic<Interface *> installed_{nullptr};
};

// Installs an implementation while it lives and puts the previous one back when it
// goes. Nested scopes end in reverse order, as scopes do.
template <typename Interface>
class Scoped_facility
{
public:
    explicit Scoped_facility(Interface &implementation)
        : implementation_(&implementation),
          previous_(Facility<Interface>::installed_.exchange(&implementation, std::memory_order_acq_rel))
    {
    }
    ~Scoped_facility()
    {
        Q_ASSERT(Facility<Interface>::installed_.load() == implementation_); // scopes end in reverse order
        Facility<Interface>::installed_.store(previous_, std::memory_order_release);
    }
    Q_DISABLE_COPY_MOVE(Scoped_facility)

private:
    Interface *implementation_;
    Interface *previous_;
};
