#include "desktop/shared/print_job.h"

#include <QFile>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QtDebug>

#ifdef VELANTRA_HAVE_CUPS
#include <QLibrary>

#include <cups/cups.h>

namespace {

// The CUPS library is loaded at the first print, not at the start: it brings its
// TLS, Kerberos and service-discovery libraries with it, which the window's first
// paint does not need and which would cost every start time and memory.
struct Cups_calls
{
    decltype(&cupsGetNamedDest) get_named_dest = nullptr;
    decltype(&cupsPrintFile) print_file = nullptr;
    decltype(&cupsFreeDests) free_dests = nullptr;
    decltype(&cupsLastErrorString) last_error = nullptr;
    bool Loaded() const { return get_named_dest && print_file && free_dests && last_error; }
};

const Cups_calls &Cups()
{
    static const Cups_calls calls = [] {
        Cups_calls c;
        QLibrary library(QStringLiteral("cups"), 2);
        if (!library.load()) {
            qWarning("velantra: the CUPS library cannot be loaded: %s", qPrintable(library.errorString()));
            return c;
        }
        c.get_named_dest = reinterpret_cast<decltype(c.get_named_dest)>(library.resolve("cupsGetNamedDest"));
        c.print_file = reinterpret_cast<decltype(c.print_file)>(library.resolve("cupsPrintFile"));
        c.free_dests = reinterpret_cast<decltype(c.free_dests)>(library.resolve("cupsFreeDests"));
        c.last_error = reinterpret_cast<decltype(c.last_error)>(library.resolve("cupsLastErrorString"));
        return c; // the library stays loaded for the process's life
    }();
    return calls;
}

} // namespace
#endif

bool Print_job(const QPrinterInfo &target, const std::function<bool(QPrinter &)> &draw)
{
    QPrinter printer(target, QPrinter::HighResolution);
#ifdef VELANTRA_HAVE_CUPS
    // Qt's own CUPS path ignores the scheduler's answer: a queue that refuses jobs
    // prints nothing and the painter still ends well. So the page is made as a PDF,
    // on the queue's default paper, and submitted here; the job id says it was taken.
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    const QPageLayout paper = printer.pageLayout();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageLayout(paper);
    printer.setOutputFileName(folder.filePath(QStringLiteral("document.pdf")));
    if (!draw(printer))
        return false;
    // "queue/instance" names an instance with options of its own, as lp applies them.
    const QByteArray name = target.printerName().toLocal8Bit();
    const qsizetype slash = name.indexOf('/');
    const QByteArray queue = slash < 0 ? name : name.left(slash);
    const QByteArray instance = slash < 0 ? QByteArray() : name.mid(slash + 1);
    const Cups_calls &cups = Cups();
    if (!cups.Loaded())
        return false;
    cups_dest_t *dest = cups.get_named_dest(CUPS_HTTP_DEFAULT, queue.constData(),
                                            instance.isEmpty() ? nullptr : instance.constData());
    const int job = cups.print_file(queue.constData(), QFile::encodeName(printer.outputFileName()).constData(),
                                    printer.docName().toLocal8Bit().constData(), dest ? dest->num_options : 0,
                                    dest ? dest->options : nullptr);
    if (dest)
        cups.free_dests(1, dest);
    if (job <= 0)
        qWarning("velantra: the print job was refused by %s: %s", queue.constData(), cups.last_error());
    return job > 0;
#else
    return draw(printer); // the platform's print engine reports a failed hand-over itself
#endif
}
