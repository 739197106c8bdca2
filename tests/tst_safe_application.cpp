// A failure that escapes an event handler reaches the error-report window and the
// program goes on, instead of ending the process.

#include "error_report/dkn_error_form.h"
#include "error_report/safe_application.h"
#include "shared/globals.h"
#include "support/test_support.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <new>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {
// Qt's widget frames are built without unwinding cleanups, so an exception that
// passes through them leaves their locals behind: the known price of going on.
// The leak checker is told not to count those few bytes.
struct Unwinding_leaks_ignored
{
#if defined(__SANITIZE_ADDRESS__)
    Unwinding_leaks_ignored() { __lsan_disable(); }
    ~Unwinding_leaks_ignored() { __lsan_enable(); }
#endif
};

QString Report_text()
{
    DKN_error_form *form = DKN_error_form::Loaded_instance();
    return form ? form->Report_text() : QString();
}
} // namespace

class Tst_safe_application : public QObject
{
    Q_OBJECT
    std::unique_ptr<Isolated_user_dirs> dirs_;

private slots:
    void initTestCase()
    {
        dirs_ = std::make_unique<Isolated_user_dirs>();
        Globals::Init_program();
    }
    void cleanup() { delete DKN_error_form::Loaded_instance(); }

    void exception_from_a_click_reaches_the_window()
    {
        int clicks = 0;
        std::unique_ptr<QPushButton> button;
        {
            // Also the button: the unwinding skips the clean-up of its accessibility data.
            [[maybe_unused]] Unwinding_leaks_ignored ignored;
            button = std::make_unique<QPushButton>(QStringLiteral("Start"));
            button->setObjectName(QStringLiteral("Command_start"));
            connect(button.get(), &QPushButton::clicked, this, [&clicks] {
                if (++clicks == 1)
                    throw std::runtime_error("socket gone");
            });
            button->show();
            QTest::mouseClick(button.get(), Qt::LeftButton);
        }

        QVERIFY(DKN_error_form::Loaded_instance());
        QVERIFY(DKN_error_form::Loaded_instance()->isVisible());
        QVERIFY2(Report_text().startsWith(QStringLiteral("Location of error: Command_start line: 0\r\n"
                                                         "error description: 51, socket gone\r\n")),
                 qPrintable(Report_text()));
        // The button and the loop still work.
        QTest::mouseClick(button.get(), Qt::LeftButton);
        QCOMPARE(clicks, 2);
    }

    void exceptions_from_timers_are_reported_and_the_loop_goes_on()
    {
        QTimer timer; // unnamed: the report names its class
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [] { throw std::bad_alloc(); });
        bool later = false;
        timer.start(0);
        QTimer::singleShot(20, this, [&later] { later = true; });
        QTRY_VERIFY(later);
        QVERIFY2(Report_text().startsWith(QStringLiteral("Location of error: QTimer line: 0\r\nerror description: 7, ")),
                 qPrintable(Report_text()));

        QTimer other;
        other.setObjectName(QStringLiteral("Timer1"));
        other.setSingleShot(true);
        connect(&other, &QTimer::timeout, this, [] { throw 42; });
        other.start(0);
        QTRY_VERIFY(Report_text().startsWith(
            QStringLiteral("Location of error: Timer1 line: 0\r\nerror description: 51, Unknown failure\r\n")));
    }
};

int main(int argc, char **argv)
{
    Safe_application app(argc, argv);
    Tst_safe_application test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_safe_application.moc"
