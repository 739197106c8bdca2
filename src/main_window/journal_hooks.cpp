#include "main_window/journal_hooks.h"

#include "journal/race_journal.h"
#include "start_trigger/start_trigger.h"

void Record_trigger_events(Race_journal &journal, Start_trigger &trigger)
{
    auto *const j = &journal;
    QObject::connect(&trigger, &Start_trigger::Armed_changed, j, [j](bool armed) {
        j->Record(Race_journal::Now(), armed ? QStringLiteral("armed") : QStringLiteral("disarmed"));
    }, Qt::DirectConnection);
    QObject::connect(&trigger, &Start_trigger::Attached, j, [j](int serial) {
        j->Record(Race_journal::Now(), QStringLiteral("attached"), {QStringLiteral("serial ") + QString::number(serial)});
    }, Qt::DirectConnection);
    QObject::connect(&trigger, &Start_trigger::Detached, j, [j] {
        j->Record(Race_journal::Now(), QStringLiteral("detached"));
    }, Qt::DirectConnection);
}
