// The hardware start trigger on the main window, against the stand-in library
// that raises the board's events from a thread of its own, and the About window
// that reports the library's version, both opened as the user does.

#include "about/do_about.h"
#include "about/frm_about.h"
#include "connection/remote_connection.h"
#include "error_report/dkn_error_form.h"
#include "main_window/form_remotestart.h"
#include "main_window/shape_circle.h"
#include "shared/forms.h"
#include "shared/globals.h"
#include "shared/platform.h"
#include "shared/sound.h"
#include "start_trigger/phidget21.h"
#include "support/test_support.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

// The test's side of the stand-in, the same copy the client loads.
extern "C" {
void fake_phidget21_attach(int serial);
void fake_phidget21_detach();
void fake_phidget21_change_input(int index, int state);
int fake_phidget21_handle_count();
}

static const QString Version = QStringLiteral("Version 1.1.26, Compile date: 2017-06-20 20:48");

class Tst_start_trigger : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    std::unique_ptr<Form_remotestart> window_;

    const Main_window_ui &Ui() const { return window_->Ui(); }
    QString Arm() const { return Ui().Command_Phidget_Active->text() + Ui().Command_Phidget_Active->styleSheet(); }
    QString Lamp() const { return Ui().Label_inp_status->text() + Ui().Shape1->Fill_color().name(); }
    void Load_window()
    {
        window_ = std::make_unique<Form_remotestart>();
        window_->Form_Load();
        window_->move(40, 30);
        window_->show();
    }
    frmAbout *Open_about() { return Ui().item_about->trigger(), frmAbout::Existing_instance(); }
    static void Unload(QWidget *form) { form->close(), QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // At the top, centred on the window's outer width.
    static QRect Logo_at(frmAbout *a, QSize size) { return {{(a->frameGeometry().width() - size.width()) / 2, 0}, size}; }

private slots:
    void init()
    {
        Phidget21::Set_library_names({});
        fake_phidget21_detach();
        Load_window();
    }

    void cleanup()
    {
        About::Test_step_hook() = nullptr;
        Platform::Test_Hooks() = {};
        if (frmAbout *about = frmAbout::Existing_instance())
            Unload(about);
        window_.reset();
        QCOMPARE(fake_phidget21_handle_count(), 0); // the handle goes with the window
    }

    void states_arm_and_starts_reach_the_server()
    {
        QTcpServer server; // a timing server on loopback, reading exactly what the client sends
        QVERIFY(server.listen(QHostAddress::LocalHost));
        window_->Connection()->Set_remote_port(server.serverPort());
        Ui().Text_host->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(Ui().Command_connect, Qt::LeftButton);
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *peer = server.nextPendingConnection();
        QByteArray received;
        connect(peer, &QTcpSocket::readyRead, this, [&] { received += peer->readAll(); });

        QCOMPARE(Arm(), QStringLiteral("Unarmedbackground-color: #ff0000;"));
        fake_phidget21_attach(301234);
        // Raised on the library's thread, the event waits for the UI thread.
        QCOMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
        QTRY_COMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("Serial : 301234"));
        QVERIFY(Ui().Frame_Phidget->isEnabled() && Ui().Frame_phidget_control->isVisible());
        QCOMPARE(Ui().Label_inp_status->text(), QStringLiteral("Label2")); // design look until a change
        QVERIFY(!Ui().Shape1->Fill_color().isValid());

        // Unarmed, a change only moves the lamp of input 0.
        fake_phidget21_change_input(0, 1);
        QTRY_COMPARE(Lamp(), QStringLiteral("Closed#00ff00"));
        QTest::mouseClick(Ui().Command_Phidget_Active, Qt::LeftButton);
        QCOMPARE(Arm(), QStringLiteral("Armedbackground-color: #00ff00;"));

        fake_phidget21_detach();
        QTRY_COMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("Detached"));
        QVERIFY(!Ui().Frame_Phidget->isEnabled() && !Ui().Frame_phidget_control->isVisible());
        fake_phidget21_attach(77); // another board finds the trigger still armed
        QTRY_COMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("Serial : 77"));
        QCOMPARE(Arm(), QStringLiteral("Armedbackground-color: #00ff00;"));

        // Armed, any input's change is one start, as the Start button sends it.
        fake_phidget21_change_input(0, 0);
        fake_phidget21_change_input(2, 1);
        QCoreApplication::processEvents();
        QCOMPARE(Lamp(), QStringLiteral("Open#ff0000"));
        QTest::mouseClick(Ui().Command_Phidget_Active, Qt::LeftButton);
        QCOMPARE(Arm(), QStringLiteral("Unarmedbackground-color: #ff0000;"));
        fake_phidget21_change_input(3, 1);
        QCoreApplication::processEvents();
        // Abort last: once it is in, everything sent before it is too.
        QTest::mouseClick(Ui().Command_abort, Qt::LeftButton);
        QTRY_VERIFY(received.endsWith("Velantra Abort%"));
        const QRegularExpression sent(QStringLiteral(
            "^(\\d\\d:\\d\\d:\\d\\d Velantra Start%){2}\\d\\d:\\d\\d:\\d\\d Velantra Abort%$"));
        QVERIFY2(sent.match(QString::fromLatin1(received)).hasMatch(), received.constData());
    }

    void no_library_no_board_no_failure_data()
    {
        QTest::addColumn<QString>("library");
        QTest::newRow("not installed") << QStringLiteral("libphidget21-not-installed.so.0");
        QTest::newRow("lacks a function") << QStringLiteral(FAKE_PHIDGET21_PARTIAL);
    }

    void no_library_no_board_no_failure()
    {
        QFETCH(QString, library);
        Message_recorder messages;
        Phidget21::Set_library_names({library});
        Load_window();
        fake_phidget21_attach(1); // the stand-in on the search path is not the one in use
        QCoreApplication::processEvents();
        QCOMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
        QVERIFY(!Ui().Frame_Phidget->isEnabled());
        QVERIFY(messages.Messages().isEmpty());
    }

    void ring_and_keep_awake()
    {
        QStringList played; // frames, wait
        Sound::Hook previous = Sound::Set_Test_Hook(
            [&](const Wav_image &w, bool wait) { played.append(QStringLiteral("%1 %2").arg(w.Frame_count()).arg(wait)); });
        int shifts = 0;
        Platform::Test_Hooks().press_shift = [&] { ++shifts; };

        Ui().item_ring->trigger(); // the ring tone, once, without waiting
        QCOMPARE(played, QStringList{QStringLiteral("8922 0")});
        // A Shift press every 30 s from load (a timer not started would never press).
        QCOMPARE(Ui().Timer_Keyb_event->interval(), 30000);
        Ui().Timer_Keyb_event->setInterval(1);
        QTRY_VERIFY(shifts >= 1);

        Sound::Set_Test_Hook(std::move(previous));
    }

    void opens_over_the_main_window_with_everything()
    {
        frmAbout *about = Open_about();
        QVERIFY(about && about->isVisible() && !about->isModal() && about->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(about->pos(), window_->pos());
        QCOMPARE(about->Lbldescription->text(), QStringLiteral("Velantra Remote Client"));
        QCOMPARE(about->Lblversion->text(), Version);
        QVERIFY(about->Lbl_filedate->text().startsWith(QStringLiteral(".exe Filedate = ")));
        QCOMPARE(about->Label_phidget_version->text(), QStringLiteral("Phidget21 - Version 2.1.8 - Built for the tests"));
        QCOMPARE(about->Label_userapp->text(), QStringLiteral("User appdata at: \n") + Globals::User_appdata_path);
        QVERIFY(!about->menu_debug->menuAction()->isVisible());
        QCOMPARE(about->Picture_product->geometry(), Logo_at(about, {200, 109}));

        // The folder line opens exactly the folder shown.
        QList<QUrl> opened;
        Platform::Test_Hooks().open_url = [&](const QUrl &url) { return opened.append(url), true; };
        QTest::mouseClick(about->Label_userapp, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(Globals::User_appdata_path)});

        // Print hands the printer an image of the window.
        QList<QSize> printed;
        frmAbout::Print_hook previous = frmAbout::Set_print_hook([&](const QImage &image) { printed.append(image.size()); });
        about->item_print->trigger();
        frmAbout::Set_print_hook(std::move(previous));
        QCOMPARE(printed, QList<QSize>{about->centralWidget()->size()});

        // Another logo width is centred as well; a missing one fails with its number.
        QPixmap wide(300, 60);
        about->Load_Product_Picture(wide);
        QCOMPARE(about->Picture_product->geometry(), Logo_at(about, wide.size()));
        QVERIFY_THROWS_EXCEPTION(About_failure, about->Load_Product_Picture(QStringLiteral("NO_SUCH_BITMAP")));
    }

    void second_opening_ok_and_close_box()
    {
        frmAbout *about = Open_about();
        about->Lblversion->setText(QStringLiteral("kept"));
        about->move(300, 200);
        Phidget21::Set_library_names({QStringLiteral("libphidget21-not-installed.so.0")});
        QCOMPARE(Open_about(), about); // one window, moved back, not loaded again
        QCOMPARE(about->pos(), window_->pos());
        QCOMPARE(about->Lblversion->text(), QStringLiteral("kept"));
        QCOMPARE(about->Label_phidget_version->text(), QStringLiteral("No Phidget driver found"));

        QTest::mouseClick(about->Command_OK, Qt::LeftButton); // OK hides
        QVERIFY(!about->isVisible() && Forms::Is_Loaded(about));
        QVERIFY(Open_about() == about && about->isVisible());

        // A held Ctrl reveals the Debug menu as Form opens; a new window starts without it.
        Platform::Test_Hooks().ctrl_down = [] { return true; };
        emit about->Menu_Form->aboutToShow();
        QVERIFY(about->menu_debug->menuAction()->isVisible());
        QPointer<frmAbout> closed = about;
        Unload(about); // the close box unloads
        QVERIFY(closed.isNull());
        frmAbout *again = Open_about();
        QVERIFY(again && again->isVisible() && Forms::Is_Loaded(again));
        QCOMPARE(again->Lblversion->text(), Version);
        QVERIFY(!again->menu_debug->menuAction()->isVisible());
    }

    void date_formats_box()
    {
        const QDateTime moment(QDate(2017, 6, 20), QTime(20, 48, 5));
        QCOMPARE(frmAbout::Date_formats_text(moment, QLocale(QLocale::Swedish, QLocale::Sweden)),
                 QStringLiteral("date = 2017-06-20\ntime = 20:48:05\nnow = 2017-06-20 20:48:05\n"
                                "ISODate = 2017-06-20\nISOnow = 2017-06-20 20:48:05\n"));
        // Whatever the regional settings, the last two lines keep their fixed pictures.
        const QString american = frmAbout::Date_formats_text(moment, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(american.endsWith(QStringLiteral("ISODate = 2017-06-20\nISOnow = 2017-06-20 20:48:05\n")));
        QVERIFY(american.contains(QStringLiteral("time = 8:48:05")) && !american.contains(QStringLiteral("UTC")));

        Message_recorder messages;
        Open_about()->item_date_formats->trigger();
        QCOMPARE(messages.Messages().size(), 1);
        QCOMPARE(messages.Messages()[0].icon, Message_icon::None);
        QVERIFY(QRegularExpression(QStringLiteral("^date = .+\ntime = .+\nnow = .+\nISODate = .+\nISOnow = .+\n$"))
                    .match(messages.Messages()[0].text).hasMatch());
    }

    void failure_while_opening_is_reported_data()
    {
        QTest::addColumn<int>("step");
        for (int step : {1980, 1990, 2000, 2020, 2030, 2040, 2050})
            QTest::newRow(qPrintable(QString::number(step))) << step;
    }

    void failure_while_opening_is_reported()
    {
        QFETCH(int, step);
        About::Test_step_hook() = [step](int at) {
            if (at == step)
                throw std::invalid_argument("Injected failure");
        };
        window_->Ui().item_about->trigger(); // returns normally
        DKN_error_form *error = DKN_error_form::Loaded_instance();
        QVERIFY(error && error->isVisible());
        QCOMPARE(error->Report_text().section(QStringLiteral("\r\n"), 0, 1),
                 QStringLiteral("Location of error: Do_about of Module Module_Velantra line: %1\r\n"
                                "error description: 5, Injected failure").arg(step));
        // The steps after the failing one are skipped.
        frmAbout *about = frmAbout::Existing_instance();
        QCOMPARE(about && about->isVisible(), step == 2050);
        Forms::Unload_Form(error);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(Tst_start_trigger)
#include "tst_start_trigger.moc"
