#pragma once
#include <QStringList>

// The program's trace routine; it records nothing.
void Trace_Write(const QStringList &items);
