// The hardware start trigger on the main window, against the stand-in library
// that raises the board's events from a thread of its own.

#include "desktop/main_window/form_remotestart.h"
#include "desktop/main_window/shape_circle.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

// The test's side of the stand-in, the same copy the client loads.
extern "C" void fake_phidget21_attach(int serial), fake_phidget21_detach(), fake_phidget21_change_input(int index, int state);
extern "C" int fake_phidget21_handle_count();

class Tst_start_trigger : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    std::unique_ptr<Form_remotestart> window_;

    template <typename Control> Control *Find(const char *name) const { return ::Find<Control>(window_.get(), name); }
    QString Arm() const { return Find<QPushButton>("Command_Phidget_Active")->text() + Find<QPushButton>("Command_Phidget_Active")->styleSheet(); }
    QString Lamp() const { return Find<QLabel>("Label_inp_status")->text() + Find<Shape_circle>("Shape1")->Fill_color().name(); }

private slots:
    void init() { fake_phidget21_detach(), window_.reset(Loaded_main_window()), window_->move(40, 30), window_->show(); }

    void cleanup()
    {
        window_.reset();
        QCOMPARE(fake_phidget21_handle_count(), 0); // the handle goes with the window
    }

    void states_arm_and_starts_reach_the_server()
    {
        Loopback_server server;
        QVERIFY(server.Connect(*window_->Network()));
        Keyboard_stand_in keyboard; // a Shift press now and then keeps the screen awake
        Find<QTimer>("Timer_Keyb_event")->setInterval(1); // a timer not started from load would never press
        QTRY_VERIFY(keyboard.shift_presses >= 1);
        QLabel *serial = Find<QLabel>("Label_phidget_serial");
        fake_phidget21_attach(301234);
        // Raised on the library's thread, the event waits for the UI thread.
        QCOMPARE(serial->text(), QStringLiteral("No Phidget!"));
        QTRY_COMPARE(serial->text(), QStringLiteral("Serial : 301234"));
        QVERIFY(Find<QGroupBox>("Frame_Phidget")->isEnabled() && Find<QGroupBox>("Frame_phidget_control")->isVisible());

        // Unarmed, a change only moves the lamp of input 0.
        fake_phidget21_change_input(0, 1);
        QTRY_COMPARE(Lamp(), QStringLiteral("Closed#00ff00"));
        QTest::mouseClick(Find<QPushButton>("Command_Phidget_Active"), Qt::LeftButton);
        QCOMPARE(Arm(), QStringLiteral("Armedbackground-color: #00ff00;"));
        // Armed, a change is one start, as the Start button sends it.
        fake_phidget21_change_input(0, 0);
        QTRY_COMPARE(Lamp(), QStringLiteral("Open#ff0000"));
        QTest::mouseClick(Find<QPushButton>("Command_Phidget_Active"), Qt::LeftButton);
        QCOMPARE(Arm(), QStringLiteral("Unarmedbackground-color: #ff0000;"));
        Find<QPushButton>("Command_Phidget_Active")->setFocus();
        fake_phidget21_detach();
        QTRY_COMPARE(serial->text(), QStringLiteral("Detached"));
        QVERIFY(!Find<QGroupBox>("Frame_Phidget")->isEnabled() && !Find<QGroupBox>("Frame_phidget_control")->isVisible());
        QTest::keyClick(window_->focusWidget(), Qt::Key_Return); // the arm button's focus went to Start
        // Abort last: once it is in, everything sent before it is too.
        QTest::mouseClick(Find<QPushButton>("Command_abort"), Qt::LeftButton);
        QCOMPARE(Digits_masked(server.Read(72)), QStringLiteral("99:99:99 Velantra Start%").repeated(2) + "99:99:99 Velantra Abort%");
        // On record with what gave each: the window tells a key from a click.
        const QRegularExpression sent("\tsent\t(start\ttrigger input 0|start\tkeyboard|abort\tAbort button)\t");
        QTRY_COMPARE(QString::fromUtf8(File_bytes(Todays_journal(dirs_.Data_path()))).count(sent), 3);
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_start_trigger)
#include "tst_start_trigger.moc"
