#pragma once
// A lost connection made known outside the window, for an official whose window is
// covered or minimized: the window asks for attention (the task bar's urgency hint)
// and the desktop shows a notification, where it has that service.

#include <QString>

class QWidget;

void Announce_loss_outside_window(QWidget *window);

extern const QString Loss_notice_text;
