// The main window's start-up, menus, settings write, single instance and shutdown.
#include "main_window/form_remotestart.h"
#include "main_window/main_window_ui.h"
#include "shared/forms.h"
#include "shared/globals.h"
#include "shared/non_dependant.h"
#include "shared/platform.h"
#include "shared/single_instance.h"
#include "start_trigger/start_trigger.h"
#include "support/test_support.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

namespace {

// A window that records when it is closed, and may refuse.
class Test_form : public QWidget
{
public:
    Test_form(QStringList *log, const QString &name, bool refuse = false)
        : log_(log), refuse_(refuse)
    {
        setObjectName(name);
        Forms::Register_Form(this);
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        log_->append(objectName());
        refuse_ ? e->ignore() : e->accept();
    }

private:
    QStringList *log_;
    bool refuse_;
};

QByteArray Read_all(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class Tst_main_window : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void start_up_shows_the_window_as_laid_out();
    void host_comes_from_the_settings_file_data();
    void host_comes_from_the_settings_file();
    void clock_shows_hours_and_minutes();
    void ctrl_on_form_menu_toggles_debug();
    void leaving_the_host_box_always_writes();
    void second_instance_is_refused();
    void stale_lock_of_a_dead_copy_is_taken_over();
    void unload_all_forms_last_first_and_stops_on_refusal();
    void program_exit_unloads_everything();
    void close_box_unloads_hidden_windows_too();

private:
    Form_remotestart *Load_window();

    std::unique_ptr<Isolated_user_dirs> dirs_;
    std::unique_ptr<Message_recorder> boxes_;
    QPointer<Form_remotestart> window_;
};

void Tst_main_window::init()
{
    dirs_ = std::make_unique<Isolated_user_dirs>();
    boxes_ = std::make_unique<Message_recorder>();
}

void Tst_main_window::cleanup()
{
    for (QWidget *form : Forms::Loaded_Forms())
        delete form;
    delete window_.data();
    Platform::Test_Hooks() = {};
    boxes_.reset();
    dirs_.reset();
}

Form_remotestart *Tst_main_window::Load_window()
{
    window_ = new Form_remotestart;
    window_->Form_Load();
    return window_;
}

void Tst_main_window::start_up_shows_the_window_as_laid_out()
{
    Form_remotestart *w = Load_window();
    const Main_window_ui &ui = w->Ui();
    QVERIFY(!w->Exit_requested());
    QVERIFY(boxes_->Messages().isEmpty());
    QCOMPARE(w->windowTitle(), QStringLiteral("Velantra Remote Start 1.1.26"));
    QCOMPARE(w->centralWidget()->size(), QSize(975, 590)); // 14,628 x 8,844 twips
    QVERIFY(!ui.menu_debug->menuAction()->isVisible());
    QCOMPARE(ui.Command_Phidget_Active->text(), QStringLiteral("Unarmed"));
    QCOMPARE(ui.item_exit->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QCOMPARE(ui.Command_start->nextInFocusChain(), static_cast<QWidget *>(ui.Command_abort));
    // The ring tone comes from the program's own resources, byte for byte.
    QCOMPARE(w->Trigger()->Ringtone_wave().size(), 35732);
    QVERIFY(w->Trigger()->Ringtone_wave().startsWith("RIFF"));
}

void Tst_main_window::host_comes_from_the_settings_file_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no file") << QByteArray() << "127.0.0.1";
    QTest::newRow("stored") << QByteArray("[settings]\r\nhost_ip=timing.local\r\n") << "timing.local";
    QTest::newRow("empty") << QByteArray("[settings]\r\nhost_ip=\r\n") << "127.0.0.1";
}

void Tst_main_window::host_comes_from_the_settings_file()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    if (!file.isEmpty()) {
        QFile f(dirs_->Data_path() + QStringLiteral("/Velantra_remote.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    QCOMPARE(Load_window()->Ui().Text_host->text(), shown);
}

void Tst_main_window::clock_shows_hours_and_minutes()
{
    Form_remotestart *w = Load_window();
    QCOMPARE(w->Ui().Timer1->interval(), 5000);
    QVERIFY(w->Ui().Timer1->isActive());
    w->show();
    // The first showing refreshes at once.
    QVERIFY(QRegularExpression(QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d$")).match(w->Ui().Label_PC_Time->text()).hasMatch());
    w->Ui().Label_PC_Time->clear();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w, &activate);
    QCOMPARE(w->Ui().Label_PC_Time->text(), Time_Stamp().left(5));
}

void Tst_main_window::ctrl_on_form_menu_toggles_debug()
{
    Form_remotestart *w = Load_window();
    QAction *debug = w->Ui().menu_debug->menuAction();
    bool ctrl = false;
    Platform::Test_Hooks().ctrl_down = [&ctrl] { return ctrl; };

    // Without Ctrl nothing changes; with it each opening toggles.
    for (bool held : {false, true, false, true}) {
        const bool before = debug->isVisible();
        ctrl = held;
        emit w->Ui().Menu_Form->aboutToShow();
        QCOMPARE(debug->isVisible(), held ? !before : before);
    }
}

void Tst_main_window::leaving_the_host_box_always_writes()
{
    Form_remotestart *w = Load_window();
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    const QString ini = Globals::Ini_file_path;
    QVERIFY(!QFile::exists(ini));

    // Unchanged text, leaving by Tab, still writes.
    w->Ui().Text_host->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(w->Ui().Text_host->hasFocus());
    QTest::keyClick(w->Ui().Text_host, Qt::Key_Tab);
    QTRY_COMPARE(Read_all(ini), QByteArray("[settings]\r\nhost_ip=127.0.0.1\r\n"));

    // Typed text, untrimmed.
    w->Ui().Text_host->setFocus(Qt::MouseFocusReason);
    w->Ui().Text_host->setText(QStringLiteral(" 10.0.0.9 "));
    w->Ui().Command_connect->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(Read_all(ini), QByteArray("[settings]\r\nhost_ip= 10.0.0.9 \r\n"));

    // Another window taking the focus is not a loss of focus of the box.
    QFile::remove(ini);
    w->Ui().Text_host->setFocus(Qt::MouseFocusReason);
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(w->Ui().Text_host, &away);
    QVERIFY(!QFile::exists(ini));
}

void Tst_main_window::second_instance_is_refused()
{
    Instance_lock first;
    QVERIFY(first.Try_acquire());
    Form_remotestart *w = Load_window();
    QCOMPARE(boxes_->Texts(), QStringList{QStringLiteral("A previous instance of this program is already running!")});
    QVERIFY(w->Exit_requested());
    // Nothing of the start-up ran after the refusal.
    QCOMPARE(w->windowTitle(), QStringLiteral("Velantra Remote Start"));
    QVERIFY(first.Try_acquire());
}

void Tst_main_window::stale_lock_of_a_dead_copy_is_taken_over()
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    client.setProcessEnvironment(env);
    client.start(QStringLiteral(VELANTRA_CLIENT_PATH), QStringList());
    QVERIFY(client.waitForStarted());
    const QString lock_path = Instance_lock::Default_path();
    QVERIFY(lock_path.startsWith(dirs_->Runtime_path()));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock_path), 20000);
    client.kill(); // a crash: the lock file stays behind
    QVERIFY(client.waitForFinished());
    QVERIFY(QFile::exists(lock_path));

    Form_remotestart *w = Load_window();
    QVERIFY(!w->Exit_requested());
    QVERIFY(boxes_->Messages().isEmpty());
}

void Tst_main_window::unload_all_forms_last_first_and_stops_on_refusal()
{
    QStringList closed;
    auto *a = new Test_form(&closed, QStringLiteral("a"));
    auto *b = new Test_form(&closed, QStringLiteral("b"), true);
    auto *c = new Test_form(&closed, QStringLiteral("c"));
    Q_UNUSED(c);
    Unload_All_Forms();
    QCOMPARE(closed, (QStringList{QStringLiteral("c"), QStringLiteral("b")}));
    QCOMPARE(Forms::Loaded_Forms(), (QList<QWidget *>{a, b}));

    closed.clear();
    delete b;
    Unload_All_Forms();
    QCOMPARE(closed, QStringList{QStringLiteral("a")});
    QVERIFY(Forms::Loaded_Forms().isEmpty());
}

void Tst_main_window::program_exit_unloads_everything()
{
    Form_remotestart *w = Load_window();
    QStringList closed;
    new Test_form(&closed, QStringLiteral("error window"));
    w->Ui().item_exit->trigger();
    QVERIFY(w->Exit_requested());
    QCOMPARE(closed, QStringList{QStringLiteral("error window")});
    QVERIFY(Forms::Loaded_Forms().isEmpty());
    QTRY_VERIFY(window_.isNull()); // deleted from the event loop, not under its own handler
}

void Tst_main_window::close_box_unloads_hidden_windows_too()
{
    Form_remotestart *w = Load_window();
    w->show();
    QStringList closed;
    auto *about = new Test_form(&closed, QStringLiteral("about"));
    about->hide();
    QVERIFY(w->close());
    QCOMPARE(closed, QStringList{QStringLiteral("about")});
    QTRY_VERIFY(window_.isNull());
    QVERIFY(Forms::Loaded_Forms().isEmpty());
}

QTEST_MAIN(Tst_main_window)
#include "tst_main_window.moc"
