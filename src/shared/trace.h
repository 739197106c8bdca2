#pragma once
#include <QStringList>

class QWidget;

// The program's trace routine; it records nothing.
void Trace_Write(const QStringList &items);

// Keeps the window above all windows that are not topmost, where it is and as large as it is.
void Window_On_Top(QWidget *window);
