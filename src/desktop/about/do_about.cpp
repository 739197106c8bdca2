#include "desktop/about/do_about.h"

#include "desktop/about/frm_about.h"
#include "desktop/shared/window_helpers.h"
#include "core/shared/failure.h"
#include "core/shared/globals.h"
#include "core/shared/trace.h"

#include <QWidget>

void Do_About(QWidget *main_window)
{
    qint16 step = 1960;
    // Each step is a trace point, so a test can follow the steps (and fail one).
    const auto at = [&step](qint16 number) {
        step = number;
        Trace_Write({QStringLiteral("Do_about"), QString::number(number)});
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
    } catch (...) {
        Report_failure(QStringLiteral("Do_about of Module Module_Velantra"), step);
    }
}
