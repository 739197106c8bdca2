#include "about/do_about.h"

#include <QtGlobal>

void Do_About(QWidget *main_window)
{
    Q_UNUSED(main_window);
}
