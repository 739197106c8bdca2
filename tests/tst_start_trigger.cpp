// The hardware start trigger on the main window, against the stand-in library
// that raises the board's events from a thread of its own, and the About window
// that reports the library's version, both opened as the user does.

#include "desktop/about/do_about.h"
#include "desktop/about/frm_about.h"
#include "core/connection/connection_thread.h"
#include "core/connection/remote_connection.h"
#include "desktop/error_report/dkn_error_form.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/main_window/shape_circle.h"
#include "desktop/shared/forms.h"
#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/platform.h"
#include "core/shared/trace.h"
#include "core/start_trigger/phidget21.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

// The test's side of the stand-in, the same copy the client loads.
extern "C" void fake_phidget21_attach(int serial), fake_phidget21_detach(), fake_phidget21_change_input(int index, int state);
extern "C" int fake_phidget21_handle_count();

// Follows Do_About's steps, and fails the given one.
struct Failing_step final : Trace_log
{
    explicit Failing_step(int step) : step(step) {}
    void Write(const QStringList &items) override
    {
        if (items == QStringList{QStringLiteral("Do_about"), QString::number(step)})
            throw std::invalid_argument("Injected failure");
    }
    int step;
};

class Tst_start_trigger : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    std::unique_ptr<Form_remotestart> window_;

    template <typename Control> Control *Find(const char *name) const { return ::Find<Control>(window_.get(), name); }
    QString Arm() const { return Find<QPushButton>("Command_Phidget_Active")->text() + Find<QPushButton>("Command_Phidget_Active")->styleSheet(); }
    QString Lamp() const { return Find<QLabel>("Label_inp_status")->text() + Find<Shape_circle>("Shape1")->Fill_color().name(); }
    void Load_window()
    { window_ = std::make_unique<Form_remotestart>(), window_->Form_Load(), window_->move(40, 30), window_->show(); }
    frmAbout *Open_about() { return Find<QAction>("item_about")->trigger(), frmAbout::Existing_instance(); }
    static void Unload(QWidget *form) { form->close(), QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    void init() { fake_phidget21_detach(), Load_window(); }

    void cleanup()
    {
        if (frmAbout *about = frmAbout::Existing_instance())
            Unload(about);
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
    }

    // The race journal of a real connection: each message with what gave it and its exact
    // text, each line as received, in order, each time inside the span of its event.
    void the_journal_has_every_message_and_line_with_its_source_and_time()
    {
        Connection_thread &network = *window_->Network();
        network.Set_grace_ms(5000); // the two halves of a line make one, however slow the machine
        Loopback_server server;
        QVERIFY(server.Connect(network));
        fake_phidget21_attach(301234);
        QTRY_COMPARE(Find<QLabel>("Label_phidget_serial")->text(), QStringLiteral("Serial : 301234"));
        QTest::mouseClick(Find<QPushButton>("Command_Phidget_Active"), Qt::LeftButton);
        Find<QLineEdit>("Text_to_send")->setText(QStringLiteral("ready\tgo"));
        auto *start = Find<QPushButton>("Command_start");
        QList<QPair<qint64, qint64>> spans;
        const auto timed = [&](auto event) {
            const qint64 before = QDateTime::currentMSecsSinceEpoch();
            event();
            spans.append({before, QDateTime::currentMSecsSinceEpoch()});
        };
        timed([&] { QTest::mouseClick(start, Qt::LeftButton); });
        timed([&] { start->setFocus(), QTest::keyClick(start, Qt::Key_Space); }); // clicks as it comes up
        timed([&] { fake_phidget21_change_input(2, 1); });
        timed([&] { QTest::mouseClick(Find<QPushButton>("Command_abort"), Qt::LeftButton); });
        timed([&] { QTest::mouseClick(Find<QPushButton>("Command_send"), Qt::LeftButton); });
        const QList<QByteArray> sent = server.Read(4 * 24 + 18).split('%');
        timed([&] { QVERIFY(server.Send(network, "Velantra Active Heat/7/Ready%ab")); });
        timed([&] { QVERIFY(server.Send(network, "c%\x07" "bell%")); });
        const QString path = dirs_.Data_path() + "/Velantra_journal_" + QDate::currentDate().toString(Qt::ISODate) + ".txt";
        QTRY_VERIFY(File_bytes(path).contains("bell"));
        QStringList lines = QString::fromUtf8(File_bytes(path)).split(QStringLiteral("\r\n"));
        lines = lines.mid(lines.lastIndexOf(QRegularExpression(".*\tstarted\t.*")) + 1, 13);
        QStringList events;
        for (const QString &line : std::as_const(lines))
            events << line.mid(24);
        QCOMPARE(events, (QStringList{"connect\t127.0.0.1", "connected", "attached\tserial 301234", "armed",
            "sent\tstart\tStart button\t" + sent[0], "sent\tstart\tkeyboard\t" + sent[1],
            "sent\tstart\ttrigger input 2\t" + sent[2], "sent\tabort\tAbort button\t" + sent[3],
            "sent\ttext\tSend button\t" + QString(sent[4]).replace('\t', "\\x09"),
            "received\tVelantra Active Heat/7/Ready", "heat\t7\tReady", "received\tabc", "received\t\\x07bell"}));
        for (int i = 4; i < 13; ++i) {
            const QPair<qint64, qint64> span = spans.at(std::min(i - 4, 5 + (i > 10)));
            const qint64 at = QDateTime::fromString(lines.at(i).left(23), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toMSecsSinceEpoch();
            QVERIFY2(span.first <= at && at <= span.second, qPrintable(lines.at(i)));
        }
    }

    void a_journal_that_cannot_be_written_is_said_without_a_box_and_starts_go_on()
    {
        window_.reset();
        QDir data(dirs_.Data_path());
        const QString name = "Velantra_journal_" + QDate::currentDate().toString(Qt::ISODate) + ".txt";
        QVERIFY(data.rename(name, "kept") && data.mkdir(name)); // a folder in its way
        Message_recorder boxes;
        Load_window();
        Loopback_server server;
        QVERIFY(server.Connect(*window_->Network()));
        QTest::mouseClick(Find<QPushButton>("Command_start"), Qt::LeftButton);
        QCOMPARE(Digits_masked(server.Read(24)), QStringLiteral("99:99:99 Velantra Start%"));
        QTRY_COMPARE(Find<QLabel>("Label_status")->toolTip(), "The race journal cannot be written: " + data.filePath(name) + ": cannot open: Is a directory");
        QVERIFY(boxes.Messages().isEmpty());
        QVERIFY(data.rmdir(name) && data.rename("kept", name));
    }

    void about_loads_reopens_and_closes()
    {
        frmAbout *about = Open_about();
        QVERIFY(about && about->isVisible() && !about->isModal() && about->windowFlags() & Qt::WindowStaysOnTopHint);
        QLabel *version = ::Find<QLabel>(about, "Lblversion"), *library = ::Find<QLabel>(about, "Label_phidget_version");
        QAction *debug = ::Find<QMenu>(about, "menu_debug")->menuAction();
        QCOMPARE(version->text() + '|' + library->text(),
                 QStringLiteral("Version 1.1.26, Compile date: 2017-06-20 20:48|Phidget21 - Version 2.1.8 - Built for the tests"));
        // The logo at the top, centred on the window's outer width; a missing one fails with its number.
        about->Load_Product_Picture(QPixmap(300, 60));
        QCOMPARE(::Find<QLabel>(about, "Picture_product")->geometry(), QRect((about->frameGeometry().width() - 300) / 2, 0, 300, 60));
        QVERIFY_THROWS_EXCEPTION(Numbered_failure, about->Load_Product_Picture(QStringLiteral("NO_SUCH_BITMAP")));

        // Opened again: the one window, moved back over the main one, not loaded again.
        version->setText(QStringLiteral("kept"));
        about->move(300, 200);
        Phidget21_library missing({QStringLiteral("libphidget21-not-installed.so.0")});
        Scoped_facility<Vendor_library> use(missing);
        QCOMPARE(Open_about(), about);
        QCOMPARE(about->pos(), window_->pos());
        QCOMPARE(version->text() + library->text(), QStringLiteral("keptNo Phidget driver found"));
        QTest::mouseClick(::Find<QPushButton>(about, "Command_OK"), Qt::LeftButton); // OK hides
        QVERIFY(!about->isVisible() && Forms::Is_Loaded(about));
        QVERIFY(Open_about() == about && about->isVisible() && !debug->isVisible());
        Message_recorder messages;
        ::Find<QAction>(about, "item_date_formats")->trigger();
        QVERIFY(messages.Texts().size() == 1 && messages.Texts()[0].startsWith(QStringLiteral("date = ")));
        QCOMPARE(frmAbout::Date_formats_text(QDateTime(QDate(2017, 6, 20), QTime(20, 48, 5)), QLocale(QLocale::Swedish)),
                 QStringLiteral("date = 2017-06-20\ntime = 20:48:05\nnow = 2017-06-20 20:48:05\n"
                                "ISODate = 2017-06-20\nISOnow = 2017-06-20 20:48:05\n"));
        // A held Ctrl reveals the Debug menu as Form opens; a new window starts without it.
        Keyboard_stand_in keyboard;
        keyboard.ctrl_held = true;
        emit ::Find<QMenu>(about, "Menu_Form")->aboutToShow();
        QVERIFY(debug->isVisible());
        QPointer<frmAbout> closed = about;
        Unload(about); // the close box unloads
        QVERIFY(closed.isNull());
        frmAbout *again = Open_about();
        QVERIFY(again && again->isVisible() && !::Find<QMenu>(again, "menu_debug")->menuAction()->isVisible());
    }

    void failure_while_opening_is_reported()
    {
        for (int step : {1980, 1990, 2000, 2020, 2030, 2040, 2050}) {
            Failing_step failing{step};
            Scoped_facility<Trace_log> use(failing);
            Find<QAction>("item_about")->trigger(); // returns normally
            DKN_error_form *error = DKN_error_form::Loaded_instance();
            QVERIFY(error && error->isVisible());
            QCOMPARE(error->Report_text().section(QStringLiteral("\r\n"), 0, 1),
                     QStringLiteral("Location of error: Do_about of Module Module_Velantra line: %1\r\n"
                                    "error description: 5, Injected failure").arg(step));
            // The steps after the failing one are skipped.
            frmAbout *about = frmAbout::Existing_instance();
            QCOMPARE(about && about->isVisible(), step == 2050);
            Forms::Unload_Form(error);
            if (about)
                Unload(about);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_start_trigger)
#include "tst_start_trigger.moc"
