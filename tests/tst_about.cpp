// The About window, opened from the main window as the user does: the version of the
// vendor library it reports (the stand-in's), its menus, and a failure while it opens.

#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/trace.h"
#include "core/start_trigger/phidget21.h"
#include "desktop/about/frm_about.h"
#include "desktop/error_report/dkn_error_form.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/shared/forms.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <stdexcept>

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

class Tst_about : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    std::unique_ptr<Form_remotestart> window_;

    template <typename Control> Control *Find(const char *name) const { return ::Find<Control>(window_.get(), name); }
    frmAbout *Open_about() { return Find<QAction>("item_about")->trigger(), frmAbout::Existing_instance(); }
    static void Unload(QWidget *form) { form->close(), QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    void init() { window_ = std::make_unique<Form_remotestart>(), window_->Form_Load(), window_->move(40, 30), window_->show(); }

    void cleanup()
    {
        if (frmAbout *about = frmAbout::Existing_instance())
            Unload(about);
        window_.reset();
    }

    void about_loads_reopens_closes_and_reports_a_failure_while_opening()
    {
        // The stand-in by its path: the search path finds it only where a test runner set it.
        Phidget21_library stand_in({QStringLiteral(FAKE_PHIDGET21)});
        Scoped_facility<Vendor_library> use_stand_in(stand_in);
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
        Unload(again);

        // A failure while it opens is reported; the steps after the failing one are skipped.
        for (int step : {1980, 1990, 2000, 2020, 2030, 2040, 2050}) {
            Failing_step failing{step};
            Scoped_facility<Trace_log> use(failing);
            Find<QAction>("item_about")->trigger(); // returns normally
            DKN_error_form *error = DKN_error_form::Loaded_instance();
            QVERIFY(error && error->isVisible());
            QCOMPARE(error->Report_text().section(QStringLiteral("\r\n"), 0, 1),
                     QStringLiteral("Location of error: Do_about of Module Module_Velantra line: %1\r\n"
                                    "error description: 5, Injected failure").arg(step));
            frmAbout *opened = frmAbout::Existing_instance();
            QCOMPARE(opened && opened->isVisible(), step == 2050);
            Forms::Unload_Form(error);
            if (opened)
                Unload(opened);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_about)
#include "tst_about.moc"
