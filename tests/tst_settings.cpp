// The settings file: private-profile semantics, atomic writes, the data folder.
#include "shared/app_user_data.h"
#include "shared/globals.h"
#include "shared/ini_file.h"
#include "shared/non_dependant.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray Read_all(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void Write_all(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class Tst_settings : public QObject
{
    Q_OBJECT
private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("found");

        QTest::newRow("plain") << QByteArray("[settings]\r\nhost_ip=10.0.0.7\r\n") << "10.0.0.7" << true;
        QTest::newRow("names ignore case") << QByteArray("[SETTINGS]\r\nHOST_IP=a\r\n") << "a" << true;
        QTest::newRow("blanks trimmed") << QByteArray("  [ settings ]  \r\n  host_ip  =  b c  \r\n") << "b c" << true;
        QTest::newRow("quotes dropped") << QByteArray("[settings]\nhost_ip=\" spaced \"\n") << " spaced " << true;
        QTest::newRow("one quote kept") << QByteArray("[settings]\nhost_ip=\"half\n") << "\"half" << true;
        QTest::newRow("LF file") << QByteArray("[settings]\nhost_ip=lf\n") << "lf" << true;
        QTest::newRow("no final line end") << QByteArray("[settings]\r\nhost_ip=last") << "last" << true;
        QTest::newRow("comment is no key") << QByteArray("[settings]\r\n;host_ip=old\r\n") << "" << false;
        QTest::newRow("first key wins") << QByteArray("[settings]\r\nhost_ip=1\r\nhost_ip=2\r\n") << "1" << true;
        QTest::newRow("first section wins")
            << QByteArray("[settings]\r\nother=1\r\n[x]\r\n[settings]\r\nhost_ip=2\r\n") << "" << false;
        QTest::newRow("other section's key") << QByteArray("[other]\r\nhost_ip=no\r\n") << "" << false;
        QTest::newRow("empty value") << QByteArray("[settings]\r\nhost_ip=\r\n") << "" << true;
        QTest::newRow("equals in value") << QByteArray("[settings]\r\nhost_ip=a=b\r\n") << "a=b" << true;
        QTest::newRow("windows-1252") << QByteArray("[settings]\r\nhost_ip=S\xe4ter\x80\r\n")
                                      << QString::fromUtf8("Säter€") << true;
    }

    void lookup()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        QFETCH(bool, found);
        bool was_found = !found;
        QCOMPARE(Ini::Lookup(file, QStringLiteral("settings"), QStringLiteral("host_ip"), &was_found), expected);
        QCOMPARE(was_found, found);
    }

    void write_keeps_other_lines_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("missing file, Windows-1252") << QString::fromUtf8("Z\u00fcrich \u20ac \u4e2d") << QByteArray()
            << QByteArray("[settings]\r\nhost_ip=Z\xfcrich \x80 ?\r\n");
        QTest::newRow("replace in place") << QStringLiteral("NEW")
            << QByteArray("; top\r\n[settings]\r\nHost_IP = old \r\nport=1\r\n[other]\r\nx=\"q\"\r\n")
            << QByteArray("; top\r\n[settings]\r\nHost_IP=NEW\r\nport=1\r\n[other]\r\nx=\"q\"\r\n");
        QTest::newRow("key added at end of its section") << QStringLiteral("NEW")
            << QByteArray("[settings]\r\nport=1\r\n\r\n[other]\n  odd line kept \n")
            << QByteArray("[settings]\r\nport=1\r\nhost_ip=NEW\r\n\r\n[other]\n  odd line kept \n");
        QTest::newRow("section added at end, LF lines kept") << QStringLiteral("NEW")
            << QByteArray("[other]\nx=1") << QByteArray("[other]\nx=1\r\n[settings]\r\nhost_ip=NEW\r\n");
        QTest::newRow("commented key is not replaced") << QStringLiteral("NEW")
            << QByteArray("[settings]\r\n;host_ip=old\r\n")
            << QByteArray("[settings]\r\n;host_ip=old\r\nhost_ip=NEW\r\n");
    }

    void write_keeps_other_lines()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Velantra_remote.ini"));
        if (!before.isEmpty())
            Write_all(path, before);
        Message_recorder boxes;
        QCOMPARE(Write_Ini_Value(QStringLiteral("settings"), QStringLiteral("host_ip"), value, path), qint16(1));
        QCOMPARE(Read_all(path), after);
        QVERIFY(boxes.Messages().isEmpty());
        // Nothing is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Velantra_remote.ini")});
    }

    void read_ini_value_defaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.ini"));
        const QString s = QStringLiteral("settings");
        // No file at all.
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("host_ip"), path, QStringLiteral("x")), QStringLiteral("x"));
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("host_ip"), path, QString()), QStringLiteral("N/A"));
        Write_all(path, "[settings]\r\nhost_ip=\r\nname=  v  \r\nlong=" + QByteArray(600, 'a') + "\r\n");
        // A key with an empty value reads like a missing one.
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("host_ip"), path, QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("host_ip"), path, QString()), QStringLiteral("N/A"));
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("name"), path, QStringLiteral("d")), QStringLiteral("v"));
        // At most what a 512-character buffer holds.
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("long"), path, QString()), QString(511, QLatin1Char('a')));

        // An empty path reads nothing and says so, whatever the default.
        Message_recorder boxes;
        QCOMPARE(Read_Ini_Value(s, QStringLiteral("host_ip"), QString(), QStringLiteral("d")), QString());
        QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("Ini_file_path is empty!")});
    }

    void failed_write_reports_and_leaves_file()
    {
        QTemporaryDir dir;
        // A folder that cannot exist, even for root: its parent is a file.
        const QString blocker = dir.filePath(QStringLiteral("file"));
        Write_all(blocker, "x");
        const QString path = blocker + QStringLiteral("/Velantra_remote.ini");
        Message_recorder boxes;
        QCOMPARE(Write_Ini_Value(QStringLiteral("settings"), QStringLiteral("host_ip"), QStringLiteral("v"), path), qint16(0));
        QCOMPARE(boxes.Messages().size(), 1);
        const Shown_message m = boxes.Messages().first();
        QCOMPARE(m.icon, Message_icon::Critical);
        QCOMPARE(m.title, QStringLiteral(" DKN Error"));
        const QRegularExpression shape(QStringLiteral("^Writing to INI file failed! Path = (.*)\r\n Error = ([1-9][0-9]*) (.+)$"));
        const QRegularExpressionMatch match = shape.match(m.text);
        QVERIFY2(match.hasMatch(), qPrintable(m.text));
        QCOMPARE(match.captured(1), path);
        QCOMPARE(Read_all(blocker), QByteArray("x"));
    }

    void app_user_data_path()
    {
        Isolated_user_dirs dirs;
        QDir(dirs.Data_path()).removeRecursively();
        // Created when missing, no trailing separator.
        QCOMPARE(AppUserData_Path(), QDir::toNativeSeparators(dirs.Data_path()));
        QVERIFY(QDir(dirs.Data_path()).exists());
        qputenv("XDG_DATA_HOME", (dirs.Data_path() + QStringLiteral("/")).toLocal8Bit());
        QCOMPARE(AppUserData_Path(), QDir::toNativeSeparators(dirs.Data_path()));

        Globals::Init_program();
        QCOMPARE(Globals::Ini_file_path, dirs.Data_path() + QStringLiteral("/Velantra_remote.ini"));
        QCOMPARE(Globals::Program_version, QStringLiteral("1.1.26"));

        // A folder that cannot be created.
        const QString blocker = dirs.Data_path() + QStringLiteral("/file");
        Write_all(blocker, "x");
        qputenv("XDG_DATA_HOME", (blocker + QStringLiteral("/sub")).toLocal8Bit());
        QCOMPARE(AppUserData_Path(), QStringLiteral("The folder does not exist"));
    }
};

QTEST_GUILESS_MAIN(Tst_settings)
#include "tst_settings.moc"
