#pragma once
// The printer facility (see shared/facility.h): the printers installed and one
// printer for a job.

#include <memory>

class QPrinter;

class Printers
{
public:
    virtual ~Printers();
    // How many printers are installed.
    virtual int Count() = 0;
    // A printer for one job, at high resolution: the default printer, or where there
    // is none and first_if_no_default is set, the first one. Null when there is none.
    virtual std::unique_ptr<QPrinter> Open(bool first_if_no_default) = 0;
    static Printers &Fallback(); // no printers
};
