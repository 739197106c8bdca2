#include "desktop/shared/loss_notice.h"

#include "core/shared/desktop_notifications.h"
#include "core/shared/facility.h"

#include <QApplication>
#include <QWidget>

const QString Loss_notice_text = QStringLiteral("Connection to the timing server lost");

void Announce_loss_outside_window(QWidget *window)
{
    // Until the window is activated (0: no time limit).
    QApplication::alert(window, 0);
    Facility<Desktop_notifications>::Get().Notify(Loss_notice_text, QString());
}
