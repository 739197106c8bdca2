// The About window and the Phidget panel on a real X server: the Debug menu that
// a held Ctrl key reveals, and pictures of both windows for the documentation.

#include "about/frm_about.h"
#include "fake_phidget21/fake_board.h"
#include "main_window/form_remotestart.h"
#include "start_trigger/start_trigger.h"
#include "support/test_support.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>

namespace {

void X_key(KeySym key, bool down)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11->display();
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), down ? True : False, CurrentTime);
    XSync(display, False);
}

// Opens "Form" with a click on its title, as the user does, and closes it again.
void Open_form_menu(frmAbout *about)
{
    QMenuBar *bar = about->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(about->Menu_Form->menuAction()).center());
    QTRY_VERIFY(about->Menu_Form->isVisible());
    about->Menu_Form->close();
    QTRY_VERIFY(!about->Menu_Form->isVisible());
}

// Saves what the screen shows of the window when pictures are asked for.
void Save_picture(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("VELANTRA_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(200); // let the X server finish drawing before the picture is taken
    const QRect frame = window->frameGeometry();
    const QPixmap shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    QVERIFY(shot.save(folder + QLatin1Char('/') + name));
}

} // namespace

class Tst_x11_about : public QObject
{
    Q_OBJECT

    std::unique_ptr<Isolated_user_dirs> dirs_;
    Form_remotestart *main_ = nullptr;

private slots:
    void init()
    {
        if (!qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            QSKIP("not on an X server");
        dirs_ = std::make_unique<Isolated_user_dirs>();
        main_ = new Form_remotestart;
        main_->Form_Load();
        main_->move(0, 0);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_));
    }

    void cleanup()
    {
        if (frmAbout *about = frmAbout::Existing_instance())
            about->close();
        delete main_;
        main_ = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dirs_.reset();
    }

    void debug_menu_shows_while_ctrl_is_held()
    {
        main_->Ui().item_about->trigger();
        frmAbout *about = frmAbout::Existing_instance();
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QVERIFY(!about->menu_debug->menuAction()->isVisible());

        Open_form_menu(about);
        QVERIFY(!about->menu_debug->menuAction()->isVisible());

        X_key(XK_Control_R, true);
        Open_form_menu(about);
        X_key(XK_Control_R, false);
        QVERIFY(about->menu_debug->menuAction()->isVisible());

        // Opened again without Ctrl: hidden again.
        Open_form_menu(about);
        QVERIFY(!about->menu_debug->menuAction()->isVisible());
    }

    void pictures_of_the_about_window_and_the_phidget_panel()
    {
        if (qEnvironmentVariableIsEmpty("VELANTRA_SCREENSHOT_DIR"))
            QSKIP("pictures are taken only when VELANTRA_SCREENSHOT_DIR names a folder");
        Message_recorder messages; // not connected: the start is refused with a message
        Fake_board board;
        QVERIFY(board.Load());
        board.attach(301234);
        const Main_window_ui &ui = main_->Ui();
        QTRY_VERIFY(ui.Frame_phidget_control->isVisible());
        QTest::mouseClick(ui.Command_Phidget_Active, Qt::LeftButton);
        board.change_input(0, 1);
        QTRY_COMPARE(ui.Label_inp_status->text(), QStringLiteral("Closed"));
        Save_picture(main_, QStringLiteral("main-window-phidget-armed.png"));

        main_->Ui().item_about->trigger();
        Save_picture(frmAbout::Existing_instance(), QStringLiteral("about-window.png"));
        board.detach();
        QTRY_COMPARE(ui.Label_phidget_serial->text(), QStringLiteral("Detached"));
    }
};

QTEST_MAIN(Tst_x11_about)
#include "tst_x11_about.moc"
