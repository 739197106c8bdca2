#pragma once
// The settings writes, off the window's thread: a disk that hangs (a network drive that
// stops answering) holds nothing a Start needs, and a full one shows its box when the
// window is ready for it. Writes are made in the order given, on a thread of the
// writer's own; a value given for a key whose write has not begun replaces the one
// waiting, so the latest value wins.

#include "core/shared/ini_file.h"

#include <QObject>
#include <QString>

#include <memory>

// The file call of a settings write, as a facility (see core/shared/facility.h): the real
// write, or a test's stand-in (one that fails, or hangs as a dead network drive does).
class Settings_store
{
public:
    virtual ~Settings_store() = default;
    // Sets key in section of the file at path, as Ini::Write_Value does.
    virtual Ini::Write_result Write(const QString &path, const QString &section, const QString &key,
                                    const QString &value) = 0;
    static Settings_store &Fallback(); // the file itself
};

class Settings_writer : public QObject
{
    Q_OBJECT
public:
    // How long the exit waits for what is still being written.
    static constexpr int Exit_wait_ms = 2000;

    explicit Settings_writer(QObject *parent = nullptr);
    // Writes what waits, for at most Exit_wait_ms; what was not written by then is said on
    // standard error, and a write that hangs is left behind on its thread.
    ~Settings_writer() override;
    Q_DISABLE_COPY_MOVE(Settings_writer)

    // Any thread; returns at once.
    void Write(const QString &path, const QString &section, const QString &key, const QString &value);

signals:
    // A write failed (emitted on the writer's thread). After the exit began, standard
    // error has it instead.
    void Write_failed(const QString &path, const QString &key, int error_number, const QString &error_text);

private:
    struct Shared;
    static void Run(const std::shared_ptr<Shared> &shared);
    std::shared_ptr<Shared> shared_; // with the thread, which may outlive this object
};
