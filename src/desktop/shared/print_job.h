#pragma once
// One document printed on one printer, handed to the print system by its own call
// where there is one (CUPS), so a refused job is known.

#include <functional>

class QPrinter;
class QPrinterInfo;

// draw paints the document on the printer it is given and says whether it could.
// True only when the print system took the document as a job.
bool Print_job(const QPrinterInfo &target, const std::function<bool(QPrinter &)> &draw);
