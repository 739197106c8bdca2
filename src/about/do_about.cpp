#include "about/do_about.h"

#include "about/frm_about.h"
#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"
#include "shared/globals.h"
#include "shared/desktop/window_helpers.h"
#include "shared/trace.h"

#include <QWidget>

#include <exception>

void Do_About(QWidget *main_window)
{
    qint16 step = 1960;
    // Each step is a trace point, so a test can follow the steps (and fail one).
    const auto at = [&step](qint16 number) {
        step = number;
        Trace_Write({QStringLiteral("Do_about"), QString::number(number)});
    };
    const auto report = [&step](const QString &description, int number) {
        DKN_Error_Handler(description, static_cast<qint16>(number), step,
                          QStringLiteral("Do_about of Module Module_Velantra"), QString());
    };
    try {
        at(1960);
        at(1980);
        frmAbout *about = frmAbout::Default_instance();
        about->Set_Description(QStringLiteral("Velantra Remote client"));
        at(1990);
        about->Display_Phidgets(); // loads the window first when it is not loaded yet
        at(2000);
        about->Load_Product_Picture(QStringLiteral("VELANTRA_LOGGA"));
        at(2020);
        about->Set_appdata(Globals::User_appdata_path);
        at(2030);
        const QPoint corner = main_window ? main_window->pos() : QPoint();
        about->Set_Position(float(corner.x() * 15), float(corner.y() * 15));
        at(2040);
        about->show(); // modeless: the main window goes on
        about->raise();
        at(2050);
        Window_On_Top(about);
    } catch (const About_failure &e) {
        report(QString::fromStdString(e.what()), e.Number());
    } catch (const std::exception &e) {
        report(QString::fromLocal8Bit(e.what()), Error_report::Failure_number(e));
    } catch (...) {
        report(Error_report::Unknown_failure_text, Error_report::Unknown_failure_number);
    }
}
