#include "shared/trace.h"

void Trace_Write(const QStringList &) {}
