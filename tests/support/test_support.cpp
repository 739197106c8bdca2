#include "support/test_support.h"

#include <QDir>

Isolated_user_dirs::Isolated_user_dirs()
    : old_data_(qgetenv("XDG_DATA_HOME")), old_runtime_(qgetenv("XDG_RUNTIME_DIR"))
{
    QDir(dir_.path()).mkpath(QStringLiteral("data"));
    QDir(dir_.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(dir_.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_DATA_HOME", Data_path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", Runtime_path().toLocal8Bit());
}

Isolated_user_dirs::~Isolated_user_dirs()
{
    qputenv("XDG_DATA_HOME", old_data_);
    qputenv("XDG_RUNTIME_DIR", old_runtime_);
}

QString Isolated_user_dirs::Data_path() const { return dir_.path() + QStringLiteral("/data"); }
QString Isolated_user_dirs::Runtime_path() const { return dir_.path() + QStringLiteral("/runtime"); }

Message_recorder::Message_recorder()
{
    previous_ = Set_Message_Hook([this](const Shown_message &m) { messages_.append(m); });
}

Message_recorder::~Message_recorder() { Set_Message_Hook(std::move(previous_)); }

QStringList Message_recorder::Texts() const
{
    QStringList texts;
    for (const Shown_message &m : messages_)
        texts.append(m.text);
    return texts;
}

bool Services_required()
{
    return qEnvironmentVariableIntValue("VELANTRA_REQUIRE_SERVICES") == 1;
}
