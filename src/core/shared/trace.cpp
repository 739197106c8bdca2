#include "core/shared/trace.h"

#include "core/shared/facility.h"

namespace {
class No_trace final : public Trace_log
{
public:
    void Write(const QStringList &) override {}
};
} // namespace

Trace_log &Trace_log::Fallback()
{
    static No_trace none;
    return none;
}

void Trace_Write(const QStringList &items) { Facility<Trace_log>::Get().Write(items); }
