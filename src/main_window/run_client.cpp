#include "main_window/run_client.h"

#include "error_report/safe_application.h"
#include "main_window/form_remotestart.h"
#include "shared/forms.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {

bool Display_available()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

void Guarded_Form_Load(Form_remotestart &window)
{
    try {
        window.Form_Load();
    } catch (...) {
        Report_failure(QStringLiteral("Form_Load"), std::current_exception());
    }
}

int Run_client(int argc, char **argv)
{
    if (!Display_available()) {
        std::fprintf(stderr,
                     "velantra-remote: there is no display to open the window on (DISPLAY is not set).\n"
                     "Start it from a desktop session, or without one under a virtual display:\n"
                     "  xvfb-run -a velantra-remote\n");
        return 2;
    }

    Safe_application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velantra Remote"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velantra Remote Start"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velantra.png")));

    auto *window = new Form_remotestart;
    Guarded_Form_Load(*window);
    int rc = 0;
    if (!window->Exit_requested()) {
        window->show();
        rc = QApplication::exec();
    }
    // Whatever is still loaded goes with the process, in order.
    for (QWidget *form : Forms::Loaded_Forms())
        delete form;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return rc;
}
