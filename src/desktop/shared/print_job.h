#pragma once
// The system's printers, and one document printed on one of them: where there is a
// print system with calls of its own (CUPS), through them, so a refused job is known
// and the print library of Qt is not loaded with every start.

#include <functional>

class QPagedPaintDevice;
class QString;

namespace Print_job {

// How many printers are installed.
int Printer_count();

// Prints one document at high resolution on the default printer, or where there is
// none and first_if_no_default is set, on the first one. draw paints the document on
// the pages it is given and says whether it could. True only when the print system
// took the document as a job.
bool Print(bool first_if_no_default, const QString &document_name,
           const std::function<bool(QPagedPaintDevice &)> &draw);

} // namespace Print_job
