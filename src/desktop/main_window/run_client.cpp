#include "desktop/main_window/run_client.h"

#include "desktop/error_report/safe_application.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/shared/forms.h"
#include "desktop/shared/qt_translations.h"
#include "desktop/platform/desktop_system.h"
#include "core/shared/globals.h"
#include "core/shared/platform.h"
#include "core/shared/single_instance.h"

#include "build_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// --help, --help-all and --version, answered before anything needs a display. Every
// other argument is left alone: the client takes none, and Qt's own (-platform,
// -style ...) are for the application object. Returns true when the program is done.
bool Answer_command_line(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    // One dash, one word: Qt's "-reverse" must not read as -r -e -v ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(Globals::Program_title + QStringLiteral(
        ": the remote starter of the Velantra race-timing system.\n"
        "Connects to the timing server (TCP port 6002), shows the active heat and sends Start and Abort.\n"
        "The server address is set in the window and kept in Velantra_remote.ini in the user's data folder.\n"
        "Qt's own options (-platform, -style, -reverse ...) are passed on to Qt; other arguments are ignored."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    (void)parser.parse(arguments); // unknown options are Qt's or nobody's: not an error here
    if (parser.isSet(version)) {
        std::printf("velantra-remote %s\n", VELANTRA_VERSION_TEXT);
        return true;
    }
    const bool help_all = parser.isSet(QStringLiteral("help-all"));
    if (!help_all && !parser.isSet(help))
        return false;
    // A core application (no display) names the program and knows Qt's options; both print and end the process.
    QCoreApplication app(argc, argv);
    if (help_all)
        parser.process(QStringList{arguments.value(0), QStringLiteral("--help-all")});
    parser.showHelp(0);
}

// Qt's -platform option names where the window goes (offscreen, vnc ...): no display needed.
bool Platform_named(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

// A word as a POSIX shell reads it back: quoted only where it must be.
QString Shell_word(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The virtual display is offered only where it works as printed: xvfb-run needs xauth.
QString No_display_hint(int argc, char **argv)
{
    QString hint = QStringLiteral(
        "velantra-remote: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
        "Start it from a desktop session, or from a terminal with X forwarding (ssh -X).\n");
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xauth")).isEmpty())
        return hint;
    QStringList command{QStringLiteral("xvfb-run"), QStringLiteral("-a")};
    for (int i = 0; i < argc; ++i)
        command << Shell_word(QString::fromLocal8Bit(argv[i]));
    hint += QStringLiteral("To see that it starts without a screen, on a virtual display nobody sees:\n  ")
            + command.join(QLatin1Char(' ')) + QLatin1Char('\n');
    return hint;
}

} // namespace

void Set_application_identity()
{
    // The name only, no display name: Qt would add a display name to every window
    // title ("... — name"), and each window's title must read exactly as its caption.
    // Message boxes take this name as the application's default title.
    QApplication::setApplicationName(Globals::Program_title);
    // Ties the windows to the installed desktop entry (its name and icon in the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("example.velantra.RemoteStart"));
}

int Run_client(int argc, char **argv)
{
    Platform::Keep_running_at_file_size_limit(); // before the first write, --help's too
    if (Answer_command_line(argc, argv))
        return 0;
    if (!Platform_named(argc, argv) && !Desktop_system::Display_available()) {
        std::fputs(qPrintable(No_display_hint(argc, argv)), stderr);
        return 2;
    }

    Instance_lock::Begin_early(); // beside the application's and the window's set-up
    Safe_application app(argc, argv);
    Set_application_identity();
    Install_qt_translations(app, QLocale());
    const Program_facilities facilities;

    auto *window = new Form_remotestart;
    window->Form_Load();
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
