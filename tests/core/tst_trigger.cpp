// The hardware start trigger without a window, against the stand-in library that
// raises the board's events from a thread of its own.

#include "core/connection/message_writer.h"
#include "core/shared/facility.h"
#include "core/start_trigger/phidget21.h"
#include "core/start_trigger/start_trigger.h"
#include "support/test_support.h"

#include <QtTest>

// The test's side of the stand-in, the same copy the trigger loads.
extern "C" void fake_phidget21_attach(int serial), fake_phidget21_detach(), fake_phidget21_change_input(int index, int state);
extern "C" int fake_phidget21_handle_count();
extern "C" void fake_phidget21_let_go(bool go);

class Tst_trigger : public QObject
{
    Q_OBJECT
private slots:
    void init() { fake_phidget21_detach(); }
    void cleanup() { QTRY_COMPARE(fake_phidget21_handle_count(), 0); } // the handle goes with the trigger

    void events_arm_and_starts()
    {
        Start_trigger trigger;
        Message_writer unconnected; // each start given comes back refused
        trigger.Set_writer(&unconnected);
        QSignalSpy attached(&trigger, &Start_trigger::Attached), detached(&trigger, &Start_trigger::Detached);
        QSignalSpy inputs(&trigger, &Start_trigger::Input_state_changed), starts(&trigger, &Start_trigger::Start_refused);
        trigger.Open_InterfaceKit();
        fake_phidget21_attach(301234);
        QTRY_COMPARE(attached.size(), 1);
        // Unarmed, a change only tells input 0's state.
        fake_phidget21_change_input(0, 1);
        QTRY_COMPARE(inputs.size(), 1);
        QVERIFY(inputs[0][0].toBool() && starts.isEmpty());
        trigger.Set_armed(true);
        fake_phidget21_detach();
        QTRY_COMPARE(detached.size(), 1);
        fake_phidget21_attach(77); // another board finds the trigger still armed
        QTRY_COMPARE(attached.size(), 2);
        QVERIFY(trigger.Phidget_Armed());
        // Armed, any input's change in either direction asks for one start, at once on the
        // library's thread, before the change reaches the trigger's; input 0 is what is told.
        fake_phidget21_change_input(0, 0);
        fake_phidget21_change_input(2, 1);
        QCOMPARE(starts.size(), 2);
        QCOMPARE(inputs.size(), 1);
        QTRY_COMPARE(inputs.size(), 3);
        QVERIFY(!inputs[2][0].toBool());
        trigger.Set_armed(false);
        fake_phidget21_change_input(3, 1);
        QTRY_COMPARE(inputs.size(), 4);
        QCOMPARE(starts.size(), 2);
    }

    // A driver that never returns holds neither the caller of the open nor the end of
    // the program: the trigger comes at once, and goes after a bounded wait. A library not
    // installed, or lacking a function, gives no board and no failure.
    void a_stuck_or_missing_library_holds_no_one_and_fails_nothing()
    {
        for (const QByteArray call : {"open", "close"}) {
            fake_phidget21_let_go(false);
            qputenv("FAKE_PHIDGET21_HANG", call);
            auto trigger = std::make_unique<Start_trigger>();
            QSignalSpy attached(trigger.get(), &Start_trigger::Attached);
            trigger->Open_InterfaceKit();
            fake_phidget21_attach(5);
            fake_phidget21_let_go(call == "open"); // the board is found once the open returns
            QTRY_COMPARE(attached.size(), 1);
            if (call == "close")
                QTest::ignoreMessage(QtWarningMsg, "velantra-remote: the board's library did not close within 2000 ms; left behind.");
            trigger.reset();
            fake_phidget21_let_go(true); // what was left behind ends when the driver returns
            QTRY_COMPARE(fake_phidget21_handle_count(), 0);
        }
        qunsetenv("FAKE_PHIDGET21_HANG");

        Message_recorder messages;
        for (const char *name : {"libphidget21-not-installed.so.0", FAKE_PHIDGET21_PARTIAL}) {
            Phidget21_library library({QString::fromLatin1(name)});
            Scoped_facility<Vendor_library> use(library);
            QVERIFY2(!library.Library_version(), name);
            Start_trigger trigger;
            QSignalSpy attached(&trigger, &Start_trigger::Attached);
            trigger.Open_InterfaceKit();
            fake_phidget21_attach(1); // the stand-in on the search path is not the one in use
            QCoreApplication::processEvents();
            QVERIFY2(attached.isEmpty(), name);
        }
        QVERIFY(messages.Messages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(Tst_trigger)
#include "tst_trigger.moc"
