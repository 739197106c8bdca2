#include "shared/trace.h"

#include <QWidget>

void Trace_Write(const QStringList &) {}

void Window_On_Top(QWidget *window)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    // Changing the flags re-creates the native window, which hides it.
    const bool was_visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (was_visible)
        window->show();
}
