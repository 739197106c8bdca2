#include "core/shared/screen_saver.h"

#include "core/shared/facility.h"

#include <utility>

namespace {
class No_screen_saver final : public Screen_saver
{
public:
    void Inhibit(const QString &, const QString &, QObject *, std::function<void(const QString &)>) override {}
    void Uninhibit() override {}
};
} // namespace

Screen_saver &Screen_saver::Fallback()
{
    static No_screen_saver none;
    return none;
}

void Keep_screen_on(const QString &application, const QString &reason, QObject *window,
                    std::function<void(const QString &)> not_held)
{
    Facility<Screen_saver>::Get().Inhibit(application, reason, window, std::move(not_held));
}

void Let_screen_blank()
{
    Facility<Screen_saver>::Get().Uninhibit();
}
