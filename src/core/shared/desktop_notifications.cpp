#include "core/shared/desktop_notifications.h"

namespace {
class No_notifications final : public Desktop_notifications
{
public:
    void Notify(const QString &, const QString &) override {}
};
} // namespace

Desktop_notifications &Desktop_notifications::Fallback()
{
    static No_notifications none;
    return none;
}
