// The hardware start trigger on the main window, against a stand-in of the
// vendor's library that raises the board's events from a thread of its own.

#include "connection/remote_connection.h"
#include "fake_phidget21/fake_board.h"
#include "main_window/form_remotestart.h"
#include "main_window/shape_circle.h"
#include "shared/platform.h"
#include "shared/sound.h"
#include "start_trigger/interface_kit.h"
#include "start_trigger/phidget21.h"
#include "start_trigger/start_trigger.h"
#include "support/test_support.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString Green_button = QStringLiteral("background-color: #00ff00;");
const QString Red_button = QStringLiteral("background-color: #ff0000;");

} // namespace

class Tst_start_trigger : public QObject
{
    Q_OBJECT

    Fake_board board_;
    std::unique_ptr<Isolated_user_dirs> dirs_;
    Form_remotestart *window_ = nullptr;

    const Main_window_ui &Ui() const { return window_->Ui(); }
    bool Attached() const { return Ui().Frame_Phidget->isEnabled() && Ui().Frame_phidget_control->isVisible(); }
    void Load_window()
    {
        window_ = new Form_remotestart;
        window_->Form_Load();
        window_->show();
    }

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
        dirs_ = std::make_unique<Isolated_user_dirs>();
    }

    void cleanup()
    {
        if (window_)
            window_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window_ = nullptr;
        // The library's handle goes with the window.
        QCOMPARE(board_.handle_count(), 0);
        Phidget21::Set_library_names({});
        dirs_.reset();
    }

    void board_states_and_the_arm_button()
    {
        Load_window();
        QCOMPARE(Ui().Command_Phidget_Active->text(), QStringLiteral("Unarmed"));
        QCOMPARE(Ui().Command_Phidget_Active->styleSheet(), Red_button);
        QCOMPARE(board_.handle_count(), 1); // opened at load, looking for a board
        QCOMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
        QVERIFY(!Attached());

        board_.attach(301234);
        // Raised on the library's thread, the event waits for the UI thread.
        QCOMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
        QTRY_COMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("Serial : 301234"));
        QVERIFY(Attached());
        // Until the first change the input keeps its design look.
        QCOMPARE(Ui().Label_inp_status->text(), QStringLiteral("Label2"));
        QVERIFY(!Ui().Shape1->Fill_color().isValid());

        QTest::mouseClick(Ui().Command_Phidget_Active, Qt::LeftButton);
        QCOMPARE(Ui().Command_Phidget_Active->text(), QStringLiteral("Armed"));
        QCOMPARE(Ui().Command_Phidget_Active->styleSheet(), Green_button);

        board_.detach();
        QTRY_COMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("Detached"));
        QVERIFY(!Ui().Frame_Phidget->isEnabled());
        QVERIFY(!Ui().Frame_phidget_control->isVisible());
        // Another board finds the trigger as armed as before.
        board_.attach(77);
        QTRY_COMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("Serial : 77"));
        QVERIFY(Attached());
        QVERIFY(window_->Trigger()->Phidget_Armed());
        QCOMPARE(Ui().Command_Phidget_Active->text(), QStringLiteral("Armed"));

        // A second click: unarmed on red again.
        QTest::mouseClick(Ui().Command_Phidget_Active, Qt::LeftButton);
        QCOMPARE(Ui().Command_Phidget_Active->text(), QStringLiteral("Unarmed"));
        QCOMPARE(Ui().Command_Phidget_Active->styleSheet(), Red_button);
    }

    void armed_input_changes_reach_the_server_as_starts()
    {
        Load_window();
        // A timing server on loopback, reading exactly what the client sends.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        window_->Connection()->Set_remote_port(server.serverPort());
        Ui().Text_host->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(Ui().Command_connect, Qt::LeftButton);
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *peer = server.nextPendingConnection();
        QByteArray received;
        connect(peer, &QTcpSocket::readyRead, this, [&] { received += peer->readAll(); });

        board_.attach(42);
        QTRY_VERIFY(Attached());

        // Unarmed, changes only move the lamp, which shows input 0.
        board_.change_input(0, 1);
        QTRY_COMPARE(Ui().Label_inp_status->text(), QStringLiteral("Closed"));
        QCOMPARE(Ui().Shape1->Fill_color(), QColor(0, 255, 0));

        // Armed, the release and a change on another input are one start each, exactly
        // as the Start button sends it; the trigger stays armed.
        QTest::mouseClick(Ui().Command_Phidget_Active, Qt::LeftButton);
        board_.change_input(0, 0);
        board_.change_input(2, 1);
        QCoreApplication::processEvents(); // both changes are handled
        QCOMPARE(Ui().Label_inp_status->text(), QStringLiteral("Open"));
        QCOMPARE(Ui().Shape1->Fill_color(), QColor(255, 0, 0));
        QVERIFY(window_->Trigger()->Phidget_Armed());
        // Abort last: once it is in, everything sent before it is too.
        QTest::mouseClick(Ui().Command_abort, Qt::LeftButton);
        QTRY_VERIFY(received.endsWith("Velantra Abort%"));
        const QRegularExpression sent(QStringLiteral(
            "^(\\d\\d:\\d\\d:\\d\\d Velantra Start%){2}\\d\\d:\\d\\d:\\d\\d Velantra Abort%$"));
        QVERIFY2(sent.match(QString::fromLatin1(received)).hasMatch(), received.constData());
    }

    void events_from_many_threads_each_start_once()
    {
        Message_recorder messages; // not connected: each start is refused with a message
        Load_window();
        board_.attach(9);
        QTRY_VERIFY(Attached());
        QTest::mouseClick(Ui().Command_Phidget_Active, Qt::LeftButton);

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
        QTRY_COMPARE(messages.Texts().count(QStringLiteral("not Connected!")), 100);
        QCoreApplication::processEvents();
        QCOMPARE(messages.Messages().size(), 100);
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
        QVERIFY(!window_->Trigger()->obj_Phidget()->Open());
        QVERIFY(!Phidget21::Library_version());
        board_.attach(1); // the stand-in on the search path is not the one in use
        QCoreApplication::processEvents();
        QCOMPARE(Ui().Label_phidget_serial->text(), QStringLiteral("No Phidget!"));
        QVERIFY(!Ui().Frame_Phidget->isEnabled());
        QVERIFY(!Ui().Frame_phidget_control->isVisible());
        QVERIFY(messages.Messages().isEmpty());
    }

    void ring_and_keep_awake()
    {
        QList<QPair<Wav_image, bool>> played;
        Sound::Hook previous =
            Sound::Set_Test_Hook([&](const Wav_image &wave, bool wait) { played.append({wave, wait}); });
        int shifts = 0;
        Platform::Test_Hooks().press_shift = [&] { ++shifts; };
        Load_window();

        // Debug > Ring: the ring tone from the resources, once, without waiting.
        QCOMPARE(window_->Trigger()->Ringtone_wave().size(), 35732);
        Ui().item_ring->trigger();
        QCOMPARE(played.size(), 1);
        QCOMPARE(played[0].first.Frame_count(), 8922);
        QCOMPARE(played[0].second, false);

        // The keep-awake timer: every 30 s from load, a Shift press.
        QCOMPARE(Ui().Timer_Keyb_event->interval(), 30000);
        QVERIFY(Ui().Timer_Keyb_event->isActive());
        Ui().Timer_Keyb_event->setInterval(1);
        QTRY_VERIFY(shifts >= 1);

        Platform::Test_Hooks().press_shift = nullptr;
        Sound::Set_Test_Hook(std::move(previous));
    }
};

QTEST_MAIN(Tst_start_trigger)
#include "tst_start_trigger.moc"
