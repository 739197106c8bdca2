// The About window, opened from the main window's Help menu as the user does.

#include "about/do_about.h"
#include "about/frm_about.h"
#include "error_report/dkn_error_form.h"
#include "main_window/form_remotestart.h"
#include "shared/forms.h"
#include "shared/globals.h"
#include "shared/platform.h"
#include "start_trigger/phidget21.h"
#include "support/test_support.h"

#include <QtTest>
#include <QtWidgets>

static const QString Version = QStringLiteral("Version 1.1.26, Compile date: 2017-06-20 20:48");

class Tst_about : public QObject
{
    Q_OBJECT

    Isolated_user_dirs dirs_; // one private set of user folders for the whole run
    std::unique_ptr<Form_remotestart> main_;

    frmAbout *Open_from_menu()
    {
        main_->Ui().item_about->trigger();
        return frmAbout::Existing_instance();
    }
    static void Unload(QWidget *form)
    {
        QVERIFY(form->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // At the top, centred on the window's outer width.
    static QRect Logo_at(frmAbout *a, QSize size) { return {{(a->frameGeometry().width() - size.width()) / 2, 0}, size}; }

private slots:
    void init()
    {
        Phidget21::Set_library_names({});
        main_ = std::make_unique<Form_remotestart>();
        main_->Form_Load();
        main_->move(40, 30);
        main_->show();
    }

    void cleanup()
    {
        About::Test_step_hook() = nullptr;
        Platform::Test_Hooks() = {};
        if (frmAbout *about = frmAbout::Existing_instance())
            Unload(about);
        main_.reset();
    }

    void opens_over_the_main_window_with_everything()
    {
        frmAbout *about = Open_from_menu();
        QVERIFY(about && about->isVisible() && !about->isModal() && about->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(about->pos(), main_->pos());
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
        frmAbout *about = Open_from_menu();
        about->Lblversion->setText(QStringLiteral("kept"));
        about->move(300, 200);
        Phidget21::Set_library_names({QStringLiteral("libphidget21-not-installed.so.0")});
        QCOMPARE(Open_from_menu(), about); // one window, moved back, not loaded again
        QCOMPARE(about->pos(), main_->pos());
        QCOMPARE(about->Lblversion->text(), QStringLiteral("kept"));
        QCOMPARE(about->Label_phidget_version->text(), QStringLiteral("No Phidget driver found"));

        QTest::mouseClick(about->Command_OK, Qt::LeftButton); // OK hides
        QVERIFY(!about->isVisible() && Forms::Is_Loaded(about));
        QCOMPARE(Open_from_menu(), about);
        QVERIFY(about->isVisible());

        // A held Ctrl reveals the Debug menu as Form opens; a new window starts without it.
        Platform::Test_Hooks().ctrl_down = [] { return true; };
        emit about->Menu_Form->aboutToShow();
        QVERIFY(about->menu_debug->menuAction()->isVisible());
        QPointer<frmAbout> closed = about;
        Unload(about); // the close box unloads
        QVERIFY(closed.isNull());
        frmAbout *again = Open_from_menu();
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
        Open_from_menu()->item_date_formats->trigger();
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
        main_->Ui().item_about->trigger(); // returns normally
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

QTEST_MAIN(Tst_about)
#include "tst_about.moc"
