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

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

const QString Fake_version = QStringLiteral("Phidget21 - Version 2.1.8 - Built for the tests");

void Unload_about()
{
    if (frmAbout *about = frmAbout::Existing_instance()) {
        about->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

class Tst_about : public QObject
{
    Q_OBJECT

    std::unique_ptr<Isolated_user_dirs> dirs_;
    Form_remotestart *main_ = nullptr;

    frmAbout *Open_from_menu()
    {
        main_->Ui().item_about->trigger();
        return frmAbout::Existing_instance();
    }

private slots:
    void init()
    {
        Phidget21::Set_library_names({});
        dirs_ = std::make_unique<Isolated_user_dirs>();
        main_ = new Form_remotestart;
        main_->Form_Load();
        main_->move(40, 30);
        main_->show();
    }

    void cleanup()
    {
        About::Test_step_hook() = nullptr;
        Unload_about();
        delete main_;
        main_ = nullptr;
        dirs_.reset();
    }

    void opens_over_the_main_window_with_everything()
    {
        frmAbout *about = Open_from_menu();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QVERIFY(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(Forms::Is_Loaded(about));
        QCOMPARE(about->pos(), main_->pos());

        QCOMPARE(about->windowTitle(), QStringLiteral("About Velantra Remote Client"));
        QCOMPARE(about->Description(), QStringLiteral("Velantra Remote client"));
        QCOMPARE(about->Lbldescription->text(), QStringLiteral("Velantra Remote Client"));
        QCOMPARE(about->Lblversion->text(), QStringLiteral("Version 1.1.26, Compile date: 2017-06-20 20:48"));
        QVERIFY(about->Lbl_filedate->text().startsWith(QStringLiteral(".exe Filedate = ")));
        QVERIFY(!about->Lbldisclaimer->text().isEmpty());
        QCOMPARE(about->Label_phidget_version->text(), Fake_version);
        QCOMPARE(about->Label_userapp->text(),
                 QStringLiteral("User appdata at: \n") + Globals::User_appdata_path);
        QVERIFY(!Globals::User_appdata_path.isEmpty());
        QVERIFY(!about->menu_debug->menuAction()->isVisible());
        QCOMPARE(about->centralWidget()->size(), QSize(460, 540));

        // The logo at its own size, centred on the window's outer width, at the top.
        QCOMPARE(about->Picture_product->size(), QSize(200, 109));
        QCOMPARE(about->Picture_product->x(), (about->frameGeometry().width() - 200) / 2);
        QCOMPARE(about->Picture_product->y(), 0);

        // The folder line opens exactly the folder shown.
        QList<QUrl> opened;
        Platform::Test_Hooks().open_url = [&](const QUrl &url) {
            opened.append(url);
            return true;
        };
        QTest::mouseClick(about->Label_userapp, Qt::LeftButton);
        Platform::Test_Hooks().open_url = nullptr;
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(Globals::User_appdata_path)});

        // Print hands over an image of the window.
        QList<QImage> printed;
        frmAbout::Print_hook previous = frmAbout::Set_print_hook([&](const QImage &image) { printed.append(image); });
        about->item_print->trigger();
        frmAbout::Set_print_hook(std::move(previous));
        QCOMPARE(printed.size(), 1);
        QCOMPARE(printed[0].size(), QSize(460, 540));
    }

    void second_opening_keeps_one_window_and_comes_back()
    {
        frmAbout *about = Open_from_menu();
        about->Lblversion->setText(QStringLiteral("kept"));
        about->move(300, 200);
        Phidget21::Set_library_names({QStringLiteral("libphidget21-not-installed.so.0")});

        QCOMPARE(Open_from_menu(), about);
        QCOMPARE(about->pos(), main_->pos());
        QVERIFY(about->isVisible());
        QCOMPARE(about->Lblversion->text(), QStringLiteral("kept")); // no second load
        QCOMPARE(about->Label_phidget_version->text(), QStringLiteral("No Phidget driver found"));
        QCOMPARE(Forms::Loaded_Forms().count(about), 1);
    }

    void ok_hides_and_the_close_box_unloads()
    {
        frmAbout *about = Open_from_menu();
        QTest::mouseClick(about->Command_OK, Qt::LeftButton);
        QVERIFY(!about->isVisible());
        QVERIFY(Forms::Is_Loaded(about));
        QCOMPARE(Open_from_menu(), about);
        QVERIFY(about->isVisible());

        about->menu_debug->menuAction()->setVisible(true);
        QPointer<frmAbout> closed = about;
        QVERIFY(about->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());
        QVERIFY(!frmAbout::Existing_instance());

        frmAbout *again = Open_from_menu();
        QVERIFY(again && again->isVisible());
        QCOMPARE(again->Lblversion->text(), QStringLiteral("Version 1.1.26, Compile date: 2017-06-20 20:48"));
        QVERIFY(!again->menu_debug->menuAction()->isVisible());
        QVERIFY(Forms::Is_Loaded(again));
    }

    void no_phidget_driver()
    {
        for (const QString &library : {QStringLiteral("libphidget21-not-installed.so.0"),
                                       QStringLiteral(FAKE_PHIDGET21_PARTIAL)}) {
            Phidget21::Set_library_names({library});
            frmAbout *about = Open_from_menu();
            QVERIFY(about->isVisible());
            QCOMPARE(about->Label_phidget_version->text(), QStringLiteral("No Phidget driver found"));
        }
    }

    void date_formats_box()
    {
        const QDateTime moment(QDate(2017, 6, 20), QTime(20, 48, 5));
        const QStringList lines =
            frmAbout::Date_formats_text(moment, QLocale(QLocale::Swedish, QLocale::Sweden)).split(QLatin1Char('\n'));
        QCOMPARE(lines, (QStringList{QStringLiteral("date = 2017-06-20"), QStringLiteral("time = 20:48:05"),
                                     QStringLiteral("now = 2017-06-20 20:48:05"),
                                     QStringLiteral("ISODate = 2017-06-20"),
                                     QStringLiteral("ISOnow = 2017-06-20 20:48:05"), QString()}));
        // Whatever the regional settings, the last two lines keep their fixed pictures.
        const QString american = frmAbout::Date_formats_text(moment, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(american.endsWith(QStringLiteral("ISODate = 2017-06-20\nISOnow = 2017-06-20 20:48:05\n")));
        QVERIFY(american.contains(QStringLiteral("time = 8:48:05")));
        QVERIFY(!american.contains(QStringLiteral("UTC")));

        Message_recorder messages;
        Open_from_menu()->item_date_formats->trigger();
        QCOMPARE(messages.Messages().size(), 1);
        const QStringList shown = messages.Messages()[0].text.split(QLatin1Char('\n'));
        QCOMPARE(shown.size(), 6);
        QVERIFY(shown[0].startsWith(QStringLiteral("date = ")));
        QVERIFY(shown[3].startsWith(QStringLiteral("ISODate = ")));
        QCOMPARE(messages.Messages()[0].icon, Message_icon::None);
    }

    void logo_centred_for_another_width()
    {
        frmAbout *about = Open_from_menu();
        QPixmap wide(300, 60);
        wide.fill(Qt::red);
        about->Load_Product_Picture(wide);
        QCOMPARE(about->Picture_product->size(), QSize(300, 60));
        QCOMPARE(about->Picture_product->x(), (about->frameGeometry().width() - 300) / 2);
        QCOMPARE(about->Picture_product->y(), 0);

        try {
            about->Load_Product_Picture(QStringLiteral("NO_SUCH_BITMAP"));
            QFAIL("a missing bitmap must fail");
        } catch (const About_failure &e) {
            QCOMPARE(e.Number(), 326);
        }
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
        Message_recorder messages;
        main_->Ui().item_about->trigger(); // returns normally
        About::Test_step_hook() = nullptr;

        DKN_error_form *error = DKN_error_form::Loaded_instance();
        QVERIFY(error && error->isVisible());
        QVERIFY2(error->Report_text().startsWith(
                     QStringLiteral("Location of error: Do_about of Module Module_Velantra line: %1\r\n"
                                    "error description: 5, Injected failure\r\n")
                         .arg(step)),
                 qPrintable(error->Report_text()));
        QVERIFY(messages.Messages().isEmpty());
        // The steps after the failing one are skipped.
        frmAbout *about = frmAbout::Existing_instance();
        QCOMPARE(about && about->isVisible(), step == 2050);
        Forms::Unload_Form(error);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(Tst_about)
#include "tst_about.moc"
