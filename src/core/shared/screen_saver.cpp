#include "core/shared/screen_saver.h"

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
