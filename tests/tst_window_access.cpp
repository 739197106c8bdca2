// The windows without a mouse, under a dark desktop theme and to a screen reader: the
// menus from the keyboard, the light face kept, every control named apart.
#include "desktop/about/frm_about.h"
#include "desktop/error_report/dkn_error_form.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/shared/forms.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

namespace {

double Luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast ratio of two colours, 1 (none) to 21 (black on white).
double Contrast(const QColor &a, const QColor &b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette Dark_palette(int grey)
{
    QPalette p(QColor(230, 230, 230), QColor(grey, grey, grey));
    p.setColor(QPalette::Base, QColor(grey - 10, grey - 10, grey - 10));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    return p;
}

// Every text of the window, and of the menus that open from it, stands out from what it
// is drawn on, as the light face has it: a light background under every one.
void Check_light_face(QWidget *window)
{
    const QList<QWidget *> widgets = window->findChildren<QWidget *>() << window;
    for (QWidget *w : widgets) {
        if (!w->isEnabled())
            continue; // greyed on purpose
        QPalette::ColorRole text = QPalette::WindowText, back = QPalette::Window;
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractScrollArea *>(w))
            text = QPalette::Text, back = QPalette::Base;
        else if (qobject_cast<QAbstractButton *>(w))
            text = QPalette::ButtonText, back = QPalette::Button;
        else if (qobject_cast<QMenu *>(w))
            back = QPalette::Window;
        const QPalette p = w->palette();
        if (w->testAttribute(Qt::WA_StyleSheet) || (w->autoFillBackground() && p.color(back) != w->window()->palette().color(back)))
            continue; // a colour of its own behind it: the arm button, the alarm
        QVERIFY2(p.color(back).lightness() >= 200, qPrintable(w->objectName()));
        QVERIFY2(Contrast(p.color(text), p.color(back)) >= 4.5,
                 qPrintable(w->objectName() + QLatin1Char(' ') + p.color(text).name() + QStringLiteral(" on ") + p.color(back).name()));
    }
}

QString Name(QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); }

} // namespace

class Tst_window_access : public QObject
{
    Q_OBJECT

    std::unique_ptr<Isolated_user_dirs> dirs_;
    std::unique_ptr<Message_recorder> boxes_;
    QPointer<Form_remotestart> window_;

    Form_remotestart *Load_window()
    {
        window_ = new Form_remotestart;
        window_->Form_Load();
        return window_;
    }

private slots:
    void init()
    {
        dirs_ = std::make_unique<Isolated_user_dirs>();
        boxes_ = std::make_unique<Message_recorder>();
    }

    void cleanup()
    {
        qDeleteAll(Forms::Loaded_Forms());
        delete window_.data();
        boxes_.reset();
        dirs_.reset();
    }

    void menus_open_from_the_keyboard()
    {
        Form_remotestart *w = Load_window();
        w->show(), w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto *form = Find<QMenu>(w, "Menu_Form");
        auto *bar = w->menuBar();
        // Each menu and item has a letter of its own within its menu.
        const auto check_letters = [](const QList<QAction *> &actions) {
            QStringList letters;
            for (const QAction *action : actions) {
                const qsizetype at = action->text().indexOf(QLatin1Char('&'));
                if (!action->isSeparator())
                    letters << (at < 0 ? QString() : action->text().mid(at + 1, 1).toLower());
            }
            return !letters.contains(QString()) && QSet<QString>(letters.begin(), letters.end()).size() == letters.size();
        };
        QVERIFY(check_letters(bar->actions()));
        for (const QAction *menu : bar->actions())
            QVERIFY2(check_letters(menu->menu()->actions()), qPrintable(menu->text()));
        QTest::keyClick(w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(form->isVisible());
        QTest::keyClick(form, Qt::Key_Escape), QTest::keyClick(bar, Qt::Key_Escape);
        QTRY_VERIFY(!form->isVisible());
        QTest::keyClick(w, Qt::Key_F10);
        QTRY_VERIFY(form->isVisible());
        QSignalSpy reconnect(Find<QAction>(w, "item_reconnect"), &QAction::triggered);
        QTest::keyClick(form, Qt::Key_A); // the item's own letter
        QCOMPARE(reconnect.count(), 1);
        QTRY_VERIFY(!form->isVisible());
        // Alt+H opens Help; the hidden Debug menu stays out of reach; Ctrl+X is still Exit.
        QTest::keyClick(w, Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(Find<QMenu>(w, "menu_help")->isVisible());
        QTest::keyClick(Find<QMenu>(w, "menu_help"), Qt::Key_Escape), QTest::keyClick(bar, Qt::Key_Escape);
        QTest::keyClick(w, Qt::Key_D, Qt::AltModifier);
        QVERIFY(!Find<QMenu>(w, "menu_debug")->isVisible());
        QCOMPARE(Find<QAction>(w, "item_exit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    }

    void windows_keep_their_light_face_under_a_dark_theme()
    {
        const QPalette saved = QApplication::palette();
        QApplication::setPalette(Dark_palette(50)); // the theme when the program starts
        Form_remotestart *w = Load_window();
        frmAbout *about = frmAbout::Default_instance();
        DKN_error_form *report = DKN_error_form::Default_instance();
        for (int round = 0; round < 2; ++round) {
            for (QWidget *window : {static_cast<QWidget *>(w), static_cast<QWidget *>(about), static_cast<QWidget *>(report)}) {
                Check_light_face(window);
                if (QTest::currentTestFailed())
                    return QApplication::setPalette(saved);
            }
            QApplication::setPalette(Dark_palette(30)); // and a theme changed while it runs
        }
        delete about;
        QApplication::setPalette(saved);
    }

    void every_control_is_named_apart_and_a_loss_is_told_from_a_close()
    {
        Form_remotestart *w = Load_window();
        QStringList names;
        QList<QWidget *> controls = w->centralWidget()->findChildren<QWidget *>();
        controls << Find<QLabel>(w, "Label_message"); // the menus are named by their captions
        for (QWidget *control : controls) {
            auto *label = qobject_cast<QLabel *>(control);
            if (control->objectName().isEmpty() || control->objectName().startsWith(QLatin1String("qt_"))
                || qobject_cast<QGroupBox *>(control) || (label && label->buddy()))
                continue; // not a control, or the caption of the control it names
            const QString name = Name(control);
            QVERIFY2(!name.trimmed().isEmpty() && !names.contains(name), qPrintable(control->objectName() + QStringLiteral(": ") + name));
            names << name;
        }
        QVERIFY(names.size() >= 20);
        QCOMPARE(Name(Find<QLineEdit>(w, "Text_host")), QStringLiteral("Server adress"));
        QCOMPARE(Name(Find<QLabel>(w, "Label_active_heat")), QStringLiteral("Heat ID"));
        auto *status = Find<QLabel>(w, "Label_status");
        const auto description = [&] { return QAccessible::queryAccessibleInterface(status)->text(QAccessible::Description); };
        Loopback_server server;
        QVERIFY(server.Connect(*w->Network()));
        Find<QPushButton>(w, "Command_disconnect")->click();
        QTRY_VERIFY(w->Network()->Socket_state() == 0);
        QVERIFY(!description().contains(QLatin1String("lost")));
        QVERIFY(server.Connect(*w->Network()));
        server.peer->close();
        QTRY_VERIFY(description().contains(QLatin1String("lost")));
        Find<QPushButton>(w, "Command_disconnect")->click();
        QVERIFY(!description().contains(QLatin1String("lost")));
        QCOMPARE(Name(status), QStringLiteral("Connection status: ") + status->text());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_window_access)
#include "tst_window_access.moc"
