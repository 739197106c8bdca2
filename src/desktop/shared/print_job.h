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

// Printers::Print (printers.h) on the system's printers.
bool Print(bool first_if_no_default, const QString &document_name,
           const std::function<bool(QPagedPaintDevice &)> &draw);

} // namespace Print_job
