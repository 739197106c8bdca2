#pragma once
// The printer facility (see core/shared/facility.h): the printers installed and one
// printed document.

#include <functional>

class QPagedPaintDevice;
class QString;

class Printers
{
public:
    virtual ~Printers();
    // How many printers are installed.
    virtual int Count() = 0;
    // Prints one document, named document_name in the print queue, at high resolution
    // on the default printer, or where there is none and first_if_no_default is set, on
    // the first one. draw paints the document on the pages it is given and says whether
    // it could. True only when the print system took the document as a job: false with
    // no printer, a failed drawing or a refused job.
    virtual bool Print(bool first_if_no_default, const QString &document_name,
                       const std::function<bool(QPagedPaintDevice &)> &draw) = 0;
    static Printers &Fallback(); // no printers
};
