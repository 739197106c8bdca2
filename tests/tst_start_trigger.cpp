// The hardware start trigger against a stand-in of the vendor's library that
// raises the board's events from a thread of its own.

#include "connection/remote_connection.h"
#include "main_window/form_remotestart.h"
#include "main_window/main_window_ui.h"
#include "shared/platform.h"
#include "shared/sound.h"
#include "main_window/shape_circle.h"
#include "start_trigger/interface_kit.h"
#include "start_trigger/phidget21.h"
#include "start_trigger/start_trigger.h"
#include "fake_phidget21/fake_board.h"
#include "support/test_support.h"

#include <QAction>
#include <QGroupBox>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

namespace {

// The Phidget panel of the main window, on its own.
struct Panel
{
    QWidget window;
    Main_window_ui ui;

    Panel()
    {
        ui.Frame_Phidget = new QGroupBox(&window);
        ui.Label_phidget_serial = new QLabel(QStringLiteral("No Phidget!"), ui.Frame_Phidget);
        ui.Frame_phidget_control = new QGroupBox(ui.Frame_Phidget);
        ui.Shape1 = new Shape_circle(ui.Frame_phidget_control);
        ui.Label_inp_status = new QLabel(QStringLiteral("Label2"), ui.Frame_phidget_control);
        ui.Command_Phidget_Active = new QPushButton(QStringLiteral("Unarmed"), ui.Frame_phidget_control);
        ui.Frame_phidget_control->setGeometry(0, 40, 200, 150);
        ui.Command_Phidget_Active->setGeometry(10, 80, 120, 40);
        ui.Frame_Phidget->setGeometry(0, 0, 220, 200);
        ui.Frame_phidget_control->setVisible(false);
        ui.Frame_Phidget->setEnabled(false);
        window.resize(240, 220);
        window.show();
    }

    bool Attached() const
    {
        return ui.Frame_Phidget->isEnabled() && ui.Frame_phidget_control->isVisible();
    }
    QString Button_color() const
    {
        return ui.Command_Phidget_Active->styleSheet();
    }
};

const QString Green_button = QStringLiteral("background-color: #00ff00;");
const QString Red_button = QStringLiteral("background-color: #ff0000;");

} // namespace

class Tst_start_trigger : public QObject
{
    Q_OBJECT

private:
    Fake_board board_;

private slots:
    void initTestCase()
    {
        QVERIFY2(board_.Load(), "the stand-in phidget21 library is not on the library path "
                                "(run the test through ctest)");
    }

    void init()
    {
        Phidget21::Set_library_names({});
        board_.reset();
    }

    void states_from_attach_to_detach_and_back()
    {
        Panel panel;
        int starts = 0;
        {
            Start_trigger trigger(panel.ui, [&] { ++starts; }, nullptr);
            trigger.Check_Command_Phidget_Active();
            QCOMPARE(panel.ui.Command_Phidget_Active->text(), QStringLiteral("Unarmed"));
            QCOMPARE(panel.Button_color(), Red_button);

            trigger.Open_InterfaceKit();
            QVERIFY(trigger.obj_Phidget());
            QCOMPARE(board_.handle_count(), 1);
            QCOMPARE(panel.ui.Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
            QVERIFY(!panel.Attached());

            board_.attach(301234);
            // The event was raised on the library's thread and waits for the UI thread.
            QCOMPARE(panel.ui.Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
            QTRY_COMPARE(panel.ui.Label_phidget_serial->text(), QStringLiteral("Serial : 301234"));
            QVERIFY(panel.Attached());
            // Until the first change the input keeps its design look.
            QCOMPARE(panel.ui.Label_inp_status->text(), QStringLiteral("Label2"));
            QVERIFY(!panel.ui.Shape1->Fill_color().isValid());

            QTest::mouseClick(panel.ui.Command_Phidget_Active, Qt::LeftButton);
            QVERIFY(trigger.Phidget_Armed());
            QCOMPARE(panel.ui.Command_Phidget_Active->text(), QStringLiteral("Armed"));
            QCOMPARE(panel.Button_color(), Green_button);

            board_.detach();
            QTRY_COMPARE(panel.ui.Label_phidget_serial->text(), QStringLiteral("Detached"));
            QVERIFY(!panel.ui.Frame_Phidget->isEnabled());
            QVERIFY(!panel.ui.Frame_phidget_control->isVisible());
            QCOMPARE(panel.ui.Command_Phidget_Active->text(), QStringLiteral("Armed"));

            // Another board: the trigger is as armed as before and starts at once.
            board_.attach(77);
            QTRY_COMPARE(panel.ui.Label_phidget_serial->text(), QStringLiteral("Serial : 77"));
            QVERIFY(panel.Attached());
            QVERIFY(trigger.Phidget_Armed());
            board_.change_input(0, 1);
            QTRY_COMPARE(starts, 1);

            // Two clicks from armed: unarmed on red again, then armed.
            QTest::mouseClick(panel.ui.Command_Phidget_Active, Qt::LeftButton);
            QCOMPARE(panel.ui.Command_Phidget_Active->text(), QStringLiteral("Unarmed"));
            QCOMPARE(panel.Button_color(), Red_button);
            QTest::mouseClick(panel.ui.Command_Phidget_Active, Qt::LeftButton);
            QCOMPARE(panel.ui.Command_Phidget_Active->text(), QStringLiteral("Armed"));
        }
        // The handle goes with the window.
        QCOMPARE(board_.handle_count(), 0);
    }

    void every_input_change_starts_while_armed()
    {
        Panel panel;
        int starts = 0;
        QList<QThread *> start_threads;
        Start_trigger trigger(panel.ui, [&] {
            ++starts;
            start_threads.append(QThread::currentThread());
        }, nullptr);
        trigger.Check_Command_Phidget_Active();
        trigger.Open_InterfaceKit();
        board_.attach(5);
        QTRY_VERIFY(panel.Attached());

        // Unarmed: the lamp follows input 0 and nothing is sent.
        board_.change_input(0, 1);
        QTRY_COMPARE(panel.ui.Label_inp_status->text(), QStringLiteral("Closed"));
        QCOMPARE(panel.ui.Shape1->Fill_color(), QColor(0, 255, 0));
        board_.change_input(0, 0);
        QTRY_COMPARE(panel.ui.Label_inp_status->text(), QStringLiteral("Open"));
        QCOMPARE(panel.ui.Shape1->Fill_color(), QColor(255, 0, 0));
        QCOMPARE(starts, 0);

        // Armed: a press and release are two starts; another input starts too and the
        // lamp still shows input 0.
        QTest::mouseClick(panel.ui.Command_Phidget_Active, Qt::LeftButton);
        board_.change_input(0, 1);
        board_.change_input(0, 0);
        QTRY_COMPARE(starts, 2);
        QCOMPARE(panel.ui.Label_inp_status->text(), QStringLiteral("Open"));
        board_.change_input(5, 1);
        QTRY_COMPARE(starts, 3);
        QCOMPARE(panel.ui.Label_inp_status->text(), QStringLiteral("Open"));
        QCOMPARE(panel.ui.Shape1->Fill_color(), QColor(255, 0, 0));
        QVERIFY(trigger.Phidget_Armed()); // a start leaves it armed

        // Everything ran on the UI thread, and nothing more came late.
        for (QThread *thread : std::as_const(start_threads))
            QCOMPARE(thread, QCoreApplication::instance()->thread());
        QCoreApplication::processEvents();
        QCOMPARE(starts, 3);

        // Disarmed again: changes only move the lamp.
        QTest::mouseClick(panel.ui.Command_Phidget_Active, Qt::LeftButton);
        board_.change_input(0, 1);
        QTRY_COMPARE(panel.ui.Label_inp_status->text(), QStringLiteral("Closed"));
        QCOMPARE(starts, 3);
    }

    void events_from_many_threads_arrive_in_order()
    {
        Panel panel;
        int starts = 0;
        Start_trigger trigger(panel.ui, [&] { ++starts; }, nullptr);
        trigger.Open_InterfaceKit();
        board_.attach(9);
        QTRY_VERIFY(panel.Attached());
        QTest::mouseClick(panel.ui.Command_Phidget_Active, Qt::LeftButton);

        // Several outside threads at once, each raising changes through the library.
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t)
            threads.append(QThread::create([this, t] {
                for (int i = 0; i < 25; ++i)
                    board_.change_input(t + 1, i % 2);
            }));
        for (QThread *thread : std::as_const(threads))
            thread->start();
        for (QThread *thread : std::as_const(threads)) {
            QVERIFY(thread->wait(10000));
            delete thread;
        }
        QTRY_COMPARE(starts, 100);
    }

    void no_library_no_board_no_failure()
    {
        Message_recorder messages;
        for (const QString &library : {QStringLiteral("libphidget21-not-installed.so.0"),
                                       QStringLiteral(FAKE_PHIDGET21_PARTIAL)}) {
            Phidget21::Set_library_names({library});
            Panel panel;
            Start_trigger trigger(panel.ui, [] {}, nullptr);
            trigger.Check_Command_Phidget_Active();
            trigger.Open_InterfaceKit();
            QVERIFY(!trigger.obj_Phidget()->Open()); // a library lacking a function counts as missing
            QVERIFY(!Phidget21::Library_version());
            board_.attach(1); // the stand-in on the search path is not the one in use
            QCoreApplication::processEvents();
            QCOMPARE(panel.ui.Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
            QVERIFY(!panel.ui.Frame_Phidget->isEnabled());
            QVERIFY(!panel.ui.Frame_phidget_control->isVisible());
            board_.reset();
        }
        QVERIFY(messages.Messages().isEmpty());
        Phidget21::Set_library_names({});
        QCOMPARE(Phidget21::Library_version(), QStringLiteral("Phidget21 - Version 2.1.8 - Built for the tests"));
        QCOMPARE(board_.handle_count(), 0);
    }
    void the_main_window_drives_the_trigger()
    {
        Isolated_user_dirs dirs;
        QList<QPair<Wav_image, bool>> played;
        Sound::Hook previous_sound =
            Sound::Set_Test_Hook([&](const Wav_image &wave, bool wait) { played.append({wave, wait}); });
        int shifts = 0;
        Platform::Test_Hooks().press_shift = [&] { ++shifts; };

        auto *window = new Form_remotestart;
        window->Form_Load();
        window->show();
        const Main_window_ui &ui = window->Ui();
        Start_trigger *trigger = window->Trigger();
        QCOMPARE(ui.Command_Phidget_Active->text(), QStringLiteral("Unarmed"));
        QCOMPARE(ui.Command_Phidget_Active->styleSheet(), Red_button);
        QCOMPARE(trigger->Ringtone_wave().size(), 35732);
        QCOMPARE(board_.handle_count(), 1); // opened at load, looking for a board

        // Debug > Ring: the ring tone once, without waiting.
        ui.item_ring->trigger();
        QCOMPARE(played.size(), 1);
        QCOMPARE(played[0].first.Frame_count(), 8922);
        QCOMPARE(played[0].second, false);

        // A timing server on loopback, reading exactly what the client sends.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        window->Connection()->Set_remote_port(server.serverPort());
        ui.Text_host->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(ui.Command_connect, Qt::LeftButton);
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *peer = server.nextPendingConnection();
        QByteArray received;
        connect(peer, &QTcpSocket::readyRead, this, [&] { received += peer->readAll(); });

        board_.attach(42);
        QTRY_VERIFY(ui.Frame_phidget_control->isVisible());

        // Unarmed, a press only lights the lamp; armed, its release and a change on
        // another input are one start each, exactly as the Start button sends it.
        board_.change_input(0, 1);
        QTRY_COMPARE(ui.Label_inp_status->text(), QStringLiteral("Closed"));
        QTest::mouseClick(ui.Command_Phidget_Active, Qt::LeftButton);
        QCOMPARE(ui.Command_Phidget_Active->text(), QStringLiteral("Armed"));
        board_.change_input(0, 0);
        board_.change_input(2, 1);
        QCoreApplication::processEvents(); // both changes are handled
        // Abort last: once it is in, everything sent before it is too.
        QTest::mouseClick(ui.Command_abort, Qt::LeftButton);
        QTRY_VERIFY(received.endsWith("Velantra Abort%"));
        const QRegularExpression sent(QStringLiteral(
            "^(\\d\\d:\\d\\d:\\d\\d Velantra Start%){2}\\d\\d:\\d\\d:\\d\\d Velantra Abort%$"));
        QVERIFY2(sent.match(QString::fromLatin1(received)).hasMatch(), received.constData());
        QCOMPARE(ui.Label_inp_status->text(), QStringLiteral("Open"));

        // The keep-awake timer: every 30 s from load, a Shift press.
        QCOMPARE(ui.Timer_Keyb_event->interval(), 30000);
        QVERIFY(ui.Timer_Keyb_event->isActive());
        ui.Timer_Keyb_event->setInterval(1);
        QTRY_VERIFY(shifts >= 1);

        QVERIFY(window->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(board_.handle_count(), 0); // the library's handle goes with the window
        Platform::Test_Hooks().press_shift = nullptr;
        Sound::Set_Test_Hook(std::move(previous_sound));
    }
};

QTEST_MAIN(Tst_start_trigger)
#include "tst_start_trigger.moc"
