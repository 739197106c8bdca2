// The three windows as a person sees them: titles and icons as the window manager
// reads them from the X server, the windows' parent, one font, every child inside its frame's border,
// and labels that show their lines whole.

#include "desktop/about/do_about.h"
#include "desktop/about/frm_about.h"
#include "core/connection/connection_thread.h"
#include "desktop/error_report/dkn_error_form.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/main_window/run_client.h"
#include "desktop/shared/forms.h"
#include "core/shared/globals.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <X11/Xlib.h>

namespace {

// A property of the window on the X server, as raw bytes; empty when it has none.
QByteArray X_property(QWidget *window, const char *name)
{
    Display *display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QByteArray bytes;
    // The window as it is now: making a window topmost may have created it anew.
    if (XGetWindowProperty(display, window->windowHandle()->winId(), XInternAtom(display, name, False), 0, 1 << 20, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success && data) {
        bytes = QByteArray(reinterpret_cast<const char *>(data), int(count) * (format == 32 ? int(sizeof(long)) : format / 8));
        XFree(data);
    }
    return bytes;
}

// Pixels the widget draws itself (no background, no children) inside area, of at least that alpha.
int Ink(QWidget *widget, const QRect &area, int alpha)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += qAlpha(image.pixel(x, y)) >= alpha;
    return ink;
}

// Its lines are whole when the same label made taller shows no more of them.
bool Shows_text_whole(QLabel *label)
{
    const QSize size = label->size();
    const int ink = Ink(label, label->contentsRect(), 129);
    label->resize(size.width(), size.height() + 60);
    const int taller = Ink(label, label->contentsRect(), 129);
    label->resize(size);
    return ink == taller;
}

} // namespace

class Tst_x11_windows : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    Message_recorder boxes_;
    QList<QWidget *> windows_; // main, error report, About

private slots:
    void initTestCase()
    {
        Set_application_identity(); // as the program starts
        // PC data as the program reads it on a machine with long names, and letters that
        // reach below the line.
        QTemporaryDir files;
        QVERIFY(Write_file(files.filePath("os-release"), "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")
                && Write_file(files.filePath("cpuinfo"), "model name\t: Intel(R) Core(TM) i7-10700K CPU @ 3.80GHz\n")
                && Write_file(files.filePath("meminfo"), "MemTotal:       16303412 kB\n"));
        const Globals::Machine_texts machine =
            Globals::Describe_machine(files.filePath("os-release"), files.filePath("cpuinfo"), files.filePath("meminfo"));
        Globals::Computer_name = QStringLiteral("startpc-jpqgy");
        Globals::Ram_size_text = machine.memory;
        Globals::Windows_version_text = machine.system;
        Globals::Cpu_text = machine.cpu;
        Globals::Os_text = machine.os;
        auto *main = Loaded_main_window();
        main->show();
        DKN_Error_Handler(QStringLiteral("Bad argument"), 5, 11460, QStringLiteral("PlaySOUND"), QString());
        Do_About(main);
        windows_ = {main, DKN_error_form::Loaded_instance(), frmAbout::Existing_instance()};
        for (QWidget *window : std::as_const(windows_))
            QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(boxes_.Messages().isEmpty());
    }

    void cleanupTestCase() { qDeleteAll(Forms::Loaded_Forms()); }

    void titles_and_icons_as_the_window_manager_sees_them()
    {
        const QStringList titles{"Velantra Remote Start 1.1.26", "Velantra Remote Client error",
                                 "About Velantra Remote Client"};
        for (int i = 0; i < windows_.size(); ++i) {
            QTRY_COMPARE(QString::fromUtf8(X_property(windows_[i], "_NET_WM_NAME")), titles[i]);
            // The program icon is the main window's; the other two have none of their own.
            QCOMPARE(X_property(windows_[i], "_NET_WM_ICON").isEmpty(), i != 0);
        }
        // Error report and About are kept above the main window: the window system is told
        // whose they are (on Wayland, which has no "on top", that is what keeps them above).
        for (QWidget *window : {windows_[1], windows_[2]}) {
            const QByteArray owner = X_property(window, "WM_TRANSIENT_FOR");
            QCOMPARE(owner.size(), int(sizeof(long)));
            QCOMPARE(quint64(*reinterpret_cast<const long *>(owner.constData())), quint64(windows_[0]->winId()));
        }
    }

    // One font: controls without one of their own take their window's. Nothing cut: every
    // child inside its frame's border, labels' lines whole, and the report's buttons' captions,
    // wrapped onto at most two lines, inside their edges.
    void one_font_and_everything_shown_whole()
    {
        Find<QLabel>(windows_[0], "Label_inp_status")->setText(QStringLiteral("Open"));
        QStringList wrong;
        for (QWidget *window : std::as_const(windows_)) {
            for (QWidget *w : window->findChildren<QWidget *>())
                if (!w->isWindow() && !w->testAttribute(Qt::WA_SetFont) && w->font() != w->parentWidget()->font())
                    wrong << w->objectName() + " in a font of its own";
            for (QGroupBox *frame : window->findChildren<QGroupBox *>()) {
                QRect inside = frame->contentsRect(); // below the caption, the frame draws nothing
                inside.setTop(std::max(inside.top(), frame->fontMetrics().height()));
                if (Ink(frame, inside, 1) != 0)
                    wrong << frame->objectName() + " draws inside its contents";
                for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                    if (!frame->contentsRect().contains(child->geometry()))
                        wrong << child->objectName();
            }
            for (QLabel *label : window->findChildren<QLabel *>())
                if (!label->text().isEmpty() && !Shows_text_whole(label))
                    wrong << label->objectName();
        }
        for (const char *name : {"Label6", "Command_start", "Command_abort"})
            QCOMPARE(Find<QWidget>(windows_[0], name)->font(), Find<QWidget>(windows_[0], "client_area")->font());
        for (const char *name : {"Cmd_print_error", "Cmd_save_log", "Cmd_mailto", "Cmd_continue", "Cmd_exit"}) {
            auto *button = Find<QPushButton>(windows_[1], name);
            const QFontMetrics metrics(button->font());
            const QRect room = button->rect().adjusted(3, 3, -3, -3);
            const QRect needed = metrics.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, button->text());
            if (!room.contains(needed) || needed.height() >= 3 * metrics.lineSpacing())
                wrong << name;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
    }

    void a_lost_connection_is_red_on_the_screen() // the last test: the topmost windows go out of the way
    {
        auto *main = static_cast<Form_remotestart *>(windows_[0]);
        windows_[1]->hide();
        windows_[2]->hide();
        auto *status = Find<QLabel>(main, "Label_status");
        const QPoint at = status->mapToGlobal(QPoint(status->width() - 3, 3)); // beside the text
        Loopback_server server;
        main->Network()->Set_remote_port(server.server.serverPort());
        const auto on_screen = [&] { return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixel(0, 0); };
        QVERIFY(on_screen() != qRgb(255, 0, 0));
        QTest::mouseClick(Find<QPushButton>(main, "Command_connect"), Qt::LeftButton);
        QVERIFY(server.Accepted(*main->Network()));
        server.peer->close();
        QTRY_COMPARE(on_screen(), qRgb(255, 0, 0));
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_x11_windows)
#include "tst_x11_windows.moc"
