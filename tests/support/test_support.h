#pragma once
// Shared pieces of the tests: a private set of user folders, a recorder that
// answers every message box instead of blocking on it, faults of the machine.

#include "core/connection/display_model.h"
#include "core/connection/connection_thread.h"
#include "core/message_log/class_rolling_text.h"
#include "core/shared/facility.h"
#include "core/shared/keyboard.h"
#include "core/shared/message_box.h"
#include "core/shared/platform.h"
#include "core/shared/settings_writer.h"
#include "core/shared/sound_output.h"

#include <QList>

#include <functional>
#include <mutex>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>


// Points the per-user data and runtime folders at a fresh temporary folder for
// as long as it lives, so tests never touch the real user's files.
class Isolated_user_dirs
{
public:
    Isolated_user_dirs();
    ~Isolated_user_dirs();
    QString Data_path() const { return dir_.path() + QStringLiteral("/data"); } // what AppUserData_Path returns now
    QString Runtime_path() const { return dir_.path() + QStringLiteral("/runtime"); }

private:
    QTemporaryDir dir_;
    QByteArray old_data_, old_runtime_;
};

// The message boxes while it lives: each box shown is recorded, and returns at once;
// so is each message not shown because a box was open (during while_open).
class Message_recorder final : public Message_boxes
{
public:
    void Show(const Shown_message &message) override
    {
        messages_.append(message);
        if (while_open) // what the test checks while the box would be open
            while_open(message);
    }
    void Not_shown(const Shown_message &message) override { not_shown_.append(message); }
    std::function<void(const Shown_message &)> while_open;
    const QList<Shown_message> &Messages() const { return messages_; }
    QStringList Texts() const;
    const QList<Shown_message> &Suppressed() const { return not_shown_; }
    void Clear() { messages_.clear(), not_shown_.clear(); }

private:
    QList<Shown_message> messages_, not_shown_;
    Scoped_facility<Message_boxes> use_{*this};
};

// The keyboard while it lives: Ctrl is held when the test says so, and Shift presses
// are counted instead of made.
class Keyboard_stand_in final : public Keyboard
{
public:
    bool Ctrl_down() override { return ctrl_held; }
    void Press_shift() override { ++shift_presses; }
    bool Key_down(unsigned int) override { return key_held; }
    bool Key_map_known() override { return key_map; }
    bool ctrl_held = false;
    bool key_held = false; // any key asked about
    bool key_map = true;   // false: as on Wayland, where nothing can be asked
    int shift_presses = 0;

private:
    Scoped_facility<Keyboard> use_{*this};
};

// The settings writes while it lives: each recorded ("key=value"), then made for real;
// while held, each waits until let go, as a network drive that stops answering. None may
// be on its way when it goes.
class Settings_store_stand_in final : public Settings_store
{
public:
    explicit Settings_store_stand_in(bool held = false) : go_(held ? 0 : 1) {}
    ~Settings_store_stand_in() override; // lets go, and waits for the writes inside
    Ini::Write_result Write(const QString &path, const QString &section, const QString &key,
                            const QString &value) override;
    void Let_go() { go_.release(); }
    QStringList Writes() const;

private:
    mutable std::mutex lock_;
    QStringList writes_;
    QSemaphore go_, done_;
    Scoped_facility<Settings_store> use_{*this};
};

// The sound output while it lives: each sound is recorded as "<frames> <wait>", not played.
class Sound_recorder final : public Sound_output
{
public:
    void Play(const Wav_image &wave, bool wait) override
    {
        played.append(QStringLiteral("%1 %2").arg(wave.Frame_count()).arg(wait));
    }
    bool Playing() const override { return false; }
    QStringList played;

private:
    Scoped_facility<Sound_output> use_{*this};
};

// The URLs handed to the desktop while it lives, taken or not as takes says.
struct Url_recorder final : Url_handler
{
    bool Open(const QUrl &url) override { return opened.append(url), takes; }
    QList<QUrl> opened;
    bool takes = true;

private:
    Scoped_facility<Url_handler> use_{*this};
};

// A file's bytes; none when it cannot be read.
QByteArray File_bytes(const QString &path);
// Makes or replaces a file; false unless every byte was written.
bool Write_file(const QString &path, const QByteArray &bytes);
// The lines a log holds, oldest first.
QStringList Lines_of(const Class_rolling_text &buffer);
// What was sent, every digit a 9 (the time stamps differ from run to run).
QString Digits_masked(const QByteArray &sent);
// A loopback port where nothing listens.
quint16 Closed_port();
// Today's race journal in that folder.
QString Todays_journal(const QString &folder);

// A timing server on loopback for one client; peer is its end of the last connection.
// The client: a Remote_connection on the test's thread, or the door of one on its own.
struct Loopback_server
{
    Loopback_server() { server.listen(QHostAddress::LocalHost, 0); }
    // Sets the client's port and connects it; true once both ends see the connection.
    template <typename Client> bool Connect(Client &client, const QString &host = QStringLiteral("127.0.0.1"))
    {
        client.Set_remote_port(server.serverPort());
        client.Connect(host);
        return Accepted(client);
    }
    // True once a connection the client is making is accepted here and connected there.
    template <typename Client> bool Accepted(const Client &client)
    {
        return Accept() && QTest::qWaitFor([&] { return client.Socket_state() == 7; }, 5000);
    }
    QByteArray Read(int n); // all the peer receives, once it holds n bytes
    // Sends a block and waits until the client has handled it as one read.
    template <typename Client> bool Send(const Client &client, const QByteArray &block)
    {
        const qint64 before = client.Display().Stats().blocks;
        peer->write(block);
        return QTest::qWaitFor([&] { return client.Display().Stats().blocks > before; }, 5000);
    }
    bool Accept();
    void Reset(); // the peer hangs up with a reset, not a close in order
    QTcpServer server;
    QTcpSocket *peer = nullptr;
};

// True when the tests must not skip for lack of a service (set in CI).
inline bool Services_required() { return qEnvironmentVariableIntValue("VELANTRA_REQUIRE_SERVICES") == 1; }

// The working folder, put back when it goes.
struct Working_folder
{
    explicit Working_folder(const QString &path);
    ~Working_folder();
    const QString saved;
};

// Faults of the machine, made for real (Linux). Each undoes itself when it goes.

// A small tmpfs mounted on a fresh folder (needs root); Mounted() is false where
// the test may not mount one. options as for mount, e.g. "size=64k".
class Small_tmpfs
{
public:
    explicit Small_tmpfs(const QByteArray &options);
    ~Small_tmpfs();
    bool Mounted() const { return mounted_; }
    QString Path() const { return dir_.path(); }
    // Takes every free block, so the next write that needs one fails with ENOSPC.
    void Fill();

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// While it lives, no file of the process may grow past bytes. A write beyond ends
// the process with SIGXFSZ, unless it ignores the signal as the program does: then
// the write fails with EFBIG, partly written, as on a full disk.
class File_size_limit
{
public:
    explicit File_size_limit(qint64 bytes);
    ~File_size_limit();

private:
    qint64 old_soft_ = 0;
};

// Two network namespaces of the test's own joined by a veth pair (needs root and
// iproute2), for a link that dies without a word. While it lives, the calling thread is
// in the client's namespace (its sockets are made there); Listen makes a server in the
// server's. Made() is false where namespaces cannot be made.
class Namespaced_link
{
public:
    Namespaced_link();
    ~Namespaced_link();
    Q_DISABLE_COPY_MOVE(Namespaced_link)
    bool Made() const { return made_; }
    static QString Server_address() { return QStringLiteral("10.26.0.2"); }
    bool Listen(QTcpServer &server);
    // The server's end of the pair down, or up again: while down nothing passes, and
    // no FIN or reset comes from either side.
    bool Cut() { return Ip({"-n", server_, "link", "set", "vs", "down"}); }
    bool Mend() { return Ip({"-n", server_, "link", "set", "vs", "up"}); }

private:
    static bool Ip(const QStringList &arguments);
    const QString server_;
    int home_ = -1, client_ = -1; // the thread's namespace before, and the client's
    bool made_ = false;
};

// A folder in which no new file can be made (while its files stay writable): read
// and execute only, or for root, whom permissions do not stop, immutable. Made()
// is false where neither works.
class Folder_refusing_new_files
{
public:
    explicit Folder_refusing_new_files(const QString &path);
    ~Folder_refusing_new_files();
    bool Made() const { return made_; }
    static constexpr const char *Why_not = "no folder can refuse new files here (root, and no immutable flag)";

private:
    QString path_;
    bool made_ = false;
    bool immutable_ = false;
};
