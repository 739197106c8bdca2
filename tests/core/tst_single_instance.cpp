// The single-instance lock: where it lies, that only a live holder refuses a start, and
// that a start goes on without it where none can be taken.
#include "core/shared/single_instance.h"
#include "support/test_support.h"

#include <QtTest>

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class Tst_single_instance : public QObject
{
    Q_OBJECT
private slots:
    void lies_in_a_folder_only_the_user_can_write()
    {
        Isolated_user_dirs dirs;
        // One copy per data folder: the lock lies there, so copies of other sessions (another
        // runtime folder, or none) meet it too.
        QCOMPARE(Instance_lock::Default_path(), dirs.Data_path() + QStringLiteral("/Velantra_remote.lock"));
        {
            Instance_lock first;
            QVERIFY(first.Try_acquire());
            QTemporaryDir other_runtime;
            for (const QByteArray &runtime : {QFile::encodeName(other_runtime.path()), QByteArray()}) {
                qputenv("XDG_RUNTIME_DIR", runtime);
                QVERIFY(!Instance_lock().Try_acquire());
            }
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dirs.Runtime_path()));
        }
        // A data folder others can write (another user could plant a held lock or a FIFO): a
        // lock in the session's own runtime folder, named after the data folder; none
        // without such a folder.
        QVERIFY(::chmod(QFile::encodeName(dirs.Data_path()).constData(), 0777) == 0);
        const QString in_runtime = Instance_lock::Default_path();
        QVERIFY(in_runtime.startsWith(dirs.Runtime_path() + QStringLiteral("/Velantra_remote-")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dirs.Data_path() + QStringLiteral("/other")));
        QVERIFY(Instance_lock::Default_path() != in_runtime);
        qputenv("XDG_DATA_HOME", QFile::encodeName(dirs.Data_path()));
        QVERIFY(::chmod(QFile::encodeName(dirs.Runtime_path()).constData(), 01777) == 0);
        QCOMPARE(Instance_lock::Default_path(), QString());
        QVERIFY(::chmod(QFile::encodeName(dirs.Data_path()).constData(), 0755) == 0);
    }

    void only_a_live_holder_refuses_and_one_that_cannot_be_made_lets_the_start_go_on()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Velantra_remote.lock"));
        // A copy that dies holding it (a crash, a kill) leaves the file behind.
        const pid_t child = ::fork();
        if (child == 0) {
            Instance_lock lock(path);
            if (lock.Try_acquire())
                ::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && QFileInfo(path).size() > 0);
        // Left by the killed copy, by another machine, unreadable, or a FIFO (which a read
        // would wait on): taken over, and the guard works again.
        for (const QByteArray &left : {QByteArray(), QByteArray("4242\nvelantra-remote\nother-host\n"),
                                       QByteArray("1\n"), QByteArray("fifo")}) {
            if (left == "fifo")
                QVERIFY(!QFile::exists(path) && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            else if (!left.isEmpty())
                QVERIFY(Write_file(path, left));
            QFile::setPermissions(path, left == "1\n" ? QFileDevice::Permissions()
                                                      : QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            Instance_lock lock(path);
            QVERIFY(lock.Try_acquire());
            QVERIFY(!Instance_lock(path).Try_acquire());
        }
        // One that cannot be made: the start goes on without it.
        const QString blocker = dir.filePath(QStringLiteral("file"));
        QVERIFY(Write_file(blocker, "x"));
        Instance_lock none(blocker + QStringLiteral("/Velantra_remote.lock"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot take the single-instance lock .*starting without it")));
        QVERIFY(none.Try_acquire());
    }
};

QTEST_GUILESS_MAIN(Tst_single_instance)
#include "tst_single_instance.moc"
