#include "desktop/shared/print_job.h"

#include <QFile>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QtDebug>

#ifdef VELANTRA_HAVE_CUPS
#include <cups/cups.h>
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
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(),
                                         instance.isEmpty() ? nullptr : instance.constData());
    const int job = cupsPrintFile(queue.constData(), QFile::encodeName(printer.outputFileName()).constData(),
                                  printer.docName().toLocal8Bit().constData(), dest ? dest->num_options : 0,
                                  dest ? dest->options : nullptr);
    if (dest)
        cupsFreeDests(1, dest);
    if (job <= 0)
        qWarning("velantra: the print job was refused by %s: %s", queue.constData(), cupsLastErrorString());
    return job > 0;
#else
    return draw(printer); // the platform's print engine reports a failed hand-over itself
#endif
}
