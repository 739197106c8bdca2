#include "core/shared/settings_writer.h"

#include "core/shared/facility.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

#include <QtDebug>
#include <optional>
#include <thread>

namespace {

class File_store final : public Settings_store
{
public:
    Ini::Write_result Write(const QString &path, const QString &section, const QString &key,
                            const QString &value) override
    {
        return Ini::Write_Value(path, section, key, value);
    }
};

struct Item
{
    QString path, section, key, value;
    bool Same_key(const Item &other) const
    {
        return path == other.path && section.compare(other.section, Qt::CaseInsensitive) == 0
               && key.compare(other.key, Qt::CaseInsensitive) == 0;
    }
    QString Text() const
    {
        return key + QStringLiteral(" = ") + value + QStringLiteral(" (") + QDir::toNativeSeparators(path)
               + QLatin1Char(')');
    }
};

} // namespace

Settings_store &Settings_store::Fallback()
{
    static File_store file;
    return file;
}

struct Settings_writer::Shared
{
    QMutex lock;
    QWaitCondition wake, finished;
    QList<Item> queue;
    std::optional<Item> writing;
    bool stopping = false;
    bool done = false;
    Settings_writer *owner = nullptr; // told of failures; none once the exit began
};

Settings_writer::Settings_writer(QObject *parent) : QObject(parent), shared_(std::make_shared<Shared>())
{
    shared_->owner = this;
    std::thread([shared = shared_] { Run(shared); }).detach();
}

Settings_writer::~Settings_writer()
{
    QMutexLocker lock(&shared_->lock);
    shared_->owner = nullptr;
    shared_->stopping = true;
    shared_->wake.wakeOne();
    const QDeadlineTimer patience(Exit_wait_ms);
    while (!shared_->done && shared_->finished.wait(&shared_->lock, patience)) {
    }
    if (shared_->done)
        return;
    // The disk does not answer: the program ends without it, and says what is lost.
    QStringList lost;
    if (shared_->writing)
        lost << shared_->writing->Text();
    for (const Item &item : std::as_const(shared_->queue))
        lost << item.Text();
    qWarning("velantra-remote: the settings file did not answer within %d s; not written: %s", Exit_wait_ms / 1000,
             qPrintable(lost.join(QStringLiteral("; "))));
}

void Settings_writer::Write(const QString &path, const QString &section, const QString &key, const QString &value)
{
    const Item item{path, section, key, value};
    QMutexLocker lock(&shared_->lock);
    for (Item &waiting : shared_->queue) {
        if (waiting.Same_key(item)) {
            waiting.value = value;
            return;
        }
    }
    shared_->queue.append(item);
    shared_->wake.wakeOne();
}

void Settings_writer::Run(const std::shared_ptr<Shared> &shared)
{
    QMutexLocker lock(&shared->lock);
    for (;;) {
        while (shared->queue.isEmpty() && !shared->stopping)
            shared->wake.wait(&shared->lock);
        if (shared->queue.isEmpty())
            break;
        const Item item = *(shared->writing = shared->queue.takeFirst());
        lock.unlock();
        const Ini::Write_result result =
            Facility<Settings_store>::Get().Write(item.path, item.section, item.key, item.value);
        lock.relock();
        shared->writing.reset();
        if (result.ok)
            continue;
        if (shared->owner)
            emit shared->owner->Write_failed(item.path, item.key, result.error_number, result.error_text);
        else
            qWarning("velantra-remote: the settings file could not be written (%s): not written: %s",
                     qPrintable(result.error_text), qPrintable(item.Text()));
    }
    shared->done = true;
    shared->finished.wakeAll();
}
