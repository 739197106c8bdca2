// The hardware start trigger on the main window, against the stand-in library,
// which raises the board's events from a thread of its own.

#include "connection/remote_connection.h"
#include "main_window/form_remotestart.h"
#include "main_window/shape_circle.h"
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

class Tst_start_trigger : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    std::unique_ptr<Form_remotestart> window_;

    const Main_window_ui &Ui() const { return window_->Ui(); }
    bool Attached() const { return Ui().Frame_Phidget->isEnabled() && Ui().Frame_phidget_control->isVisible(); }
    void Load_window()
    {
        window_ = std::make_unique<Form_remotestart>();
        window_->Form_Load();
        window_->show();
    }
    QString Arm() const { return Ui().Command_Phidget_Active->text() + Ui().Command_Phidget_Active->styleSheet(); }
    QString Lamp() const { return Ui().Label_inp_status->text() + Ui().Shape1->Fill_color().name(); }

private slots:
    void init()
    {
        Phidget21::Set_library_names({});
        fake_phidget21_detach();
    }

    void cleanup()
    {
        window_.reset();
        QCOMPARE(fake_phidget21_handle_count(), 0); // the handle goes with the window
    }

    void states_arm_and_starts_reach_the_server()
    {
        Load_window();
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
        QVERIFY(Attached());
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
        Load_window();

        Ui().item_ring->trigger(); // the ring tone, once, without waiting
        QCOMPARE(played, QStringList{QStringLiteral("8922 0")});
        QCOMPARE(Ui().Timer_Keyb_event->interval(), 30000); // a Shift press every 30 s from load: a stopped timer would never press
        Ui().Timer_Keyb_event->setInterval(1);
        QTRY_VERIFY(shifts >= 1);

        Platform::Test_Hooks().press_shift = nullptr;
        Sound::Set_Test_Hook(std::move(previous));
    }
};

QTEST_MAIN(Tst_start_trigger)
#include "tst_start_trigger.moc"
