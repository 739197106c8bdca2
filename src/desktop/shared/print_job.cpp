#include "desktop/shared/print_job.h"

#include <QString>

#ifdef VELANTRA_HAVE_CUPS
#include <QFile>
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtDebug>

#include "core/shared/library_calls.h"

#include <cups/cups.h>

namespace {

// The CUPS library is loaded at the first print, not at the start: it brings its
// TLS, Kerberos and service-discovery libraries with it, which the window's first
// paint does not need and which would cost every start time and memory.
struct Cups_calls
{
    decltype(&cupsGetDests) get_dests = nullptr;
    decltype(&cupsGetNamedDest) get_named_dest = nullptr;
    decltype(&cupsCopyDestInfo) copy_dest_info = nullptr;
    decltype(&cupsGetDestMediaDefault) media_default = nullptr;
    decltype(&cupsFreeDestInfo) free_dest_info = nullptr;
    decltype(&cupsPrintFile) print_file = nullptr;
    decltype(&cupsFreeDests) free_dests = nullptr;
    decltype(&cupsLastErrorString) last_error = nullptr;
    bool Loaded() const
    {
        return get_dests && get_named_dest && copy_dest_info && media_default && free_dest_info && print_file
               && free_dests && last_error;
    }
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
        Resolve(library, "cupsGetDests", c.get_dests);
        Resolve(library, "cupsGetNamedDest", c.get_named_dest);
        Resolve(library, "cupsCopyDestInfo", c.copy_dest_info);
        Resolve(library, "cupsGetDestMediaDefault", c.media_default);
        Resolve(library, "cupsFreeDestInfo", c.free_dest_info);
        Resolve(library, "cupsPrintFile", c.print_file);
        Resolve(library, "cupsFreeDests", c.free_dests);
        Resolve(library, "cupsLastErrorString", c.last_error);
        return c; // the library stays loaded for the process's life
    }();
    return calls;
}

// The queue's default paper and its printable area; without an answer, the paper
// of the user's country.
QPageLayout Default_paper(const Cups_calls &cups, cups_dest_t *dest)
{
    cups_size_t size{};
    cups_dinfo_t *info = cups.copy_dest_info(CUPS_HTTP_DEFAULT, dest);
    const bool known =
        info && cups.media_default(CUPS_HTTP_DEFAULT, dest, info, 0, &size) && size.width > 0 && size.length > 0;
    if (info)
        cups.free_dest_info(info);
    if (!known) {
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    }
    // CUPS measures in hundredths of a millimetre.
    return QPageLayout(QPageSize(QSizeF(size.width / 100.0, size.length / 100.0), QPageSize::Millimeter),
                       QPageLayout::Portrait,
                       QMarginsF(size.left / 100.0, size.top / 100.0, size.right / 100.0, size.bottom / 100.0),
                       QPageLayout::Millimeter);
}

bool Draw_pdf(const QString &file, const QString &document_name, const QPageLayout &paper,
              const std::function<bool(QPagedPaintDevice &)> &draw)
{
    QPdfWriter writer(file);
    writer.setResolution(1200); // as Qt's printers at high resolution
    writer.setTitle(document_name);
    writer.setPageLayout(paper);
    return draw(writer); // the painter's end writes the file
}

} // namespace

namespace Print_job {

int Printer_count()
{
    const Cups_calls &cups = Cups();
    if (!cups.Loaded())
        return 0;
    cups_dest_t *dests = nullptr;
    const int count = cups.get_dests(&dests);
    cups.free_dests(count, dests);
    return count;
}

bool Print(bool first_if_no_default, const QString &document_name, const std::function<bool(QPagedPaintDevice &)> &draw)
{
    const Cups_calls &cups = Cups();
    if (!cups.Loaded())
        return false;
    // The default as lp chooses it: $LPDEST, $PRINTER, the user's lpoptions, the server's.
    cups_dest_t *dest = cups.get_named_dest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest && first_if_no_default) {
        cups_dest_t *dests = nullptr;
        const int count = cups.get_dests(&dests);
        if (count > 0)
            dest = cups.get_named_dest(CUPS_HTTP_DEFAULT, dests[0].name, dests[0].instance);
        cups.free_dests(count, dests);
    }
    if (!dest)
        return false;
    // The page is made as a PDF, on the queue's default paper, and submitted by CUPS's
    // own call: the job id says it was taken (a queue that refuses jobs says so).
    bool taken = false;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("document.pdf"));
    if (folder.isValid() && Draw_pdf(file, document_name, Default_paper(cups, dest), draw)) {
        const int job = cups.print_file(dest->name, QFile::encodeName(file).constData(),
                                        document_name.toLocal8Bit().constData(), dest->num_options, dest->options);
        if (job <= 0)
            qWarning("velantra: the print job was refused by %s: %s", dest->name, cups.last_error());
        taken = job > 0;
    }
    cups.free_dests(1, dest);
    return taken;
}

} // namespace Print_job

#else
#include <QPrinter>
#include <QPrinterInfo>

namespace Print_job {

int Printer_count() { return int(QPrinterInfo::availablePrinters().size()); }

bool Print(bool first_if_no_default, const QString &document_name, const std::function<bool(QPagedPaintDevice &)> &draw)
{
    QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull() && first_if_no_default && !QPrinterInfo::availablePrinters().isEmpty())
        target = QPrinterInfo::availablePrinters().constFirst();
    if (target.isNull())
        return false;
    QPrinter printer(target, QPrinter::HighResolution);
    printer.setDocName(document_name);
    return draw(printer); // the platform's print engine reports a failed hand-over itself
}

} // namespace Print_job
#endif
