#pragma once
// The program's trace routine, through the trace facility (see core/shared/facility.h).
// The program's own trace records nothing; a test may read the trace points.

#include <QStringList>

class Trace_log
{
public:
    virtual ~Trace_log() = default;
    virtual void Write(const QStringList &items) = 0;
    static Trace_log &Fallback(); // records nothing
};

void Trace_Write(const QStringList &items);
