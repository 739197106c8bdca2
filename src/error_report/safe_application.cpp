#include "error_report/safe_application.h"

#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"

#include <cstdio>
#include <exception>

namespace {
// Failures raised while earlier ones are being reported nest only this deep;
// beyond it they go to the console so a failure loop cannot exhaust the stack.
constexpr int Max_nested_reports = 4;
int nested_reports = 0;

void Report(const QString &location, const QString &description, qint16 number)
{
    if (nested_reports >= Max_nested_reports) {
        std::fprintf(stderr, "Unreported failure in %s: %s\n", qPrintable(location), qPrintable(description));
        return;
    }
    ++nested_reports;
    DKN_Error_Handler(description, number, 0, location, QString());
    --nested_reports;
}
} // namespace

void Report_failure(const QString &location, std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &e) {
        Report(location, QString::fromLocal8Bit(e.what()), Error_report::Failure_number(e));
    } catch (...) {
        Report(location, Error_report::Unknown_failure_text, Error_report::Unknown_failure_number);
    }
}

Safe_application::Safe_application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Safe_application::notify(QObject *receiver, QEvent *event)
{
    // Named now: the handler that throws may have deleted its receiver.
    const QString name = receiver ? receiver->objectName() : QString();
    const char *class_name = receiver ? receiver->metaObject()->className() : "";
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        Report_failure(name.isEmpty() ? QString::fromLatin1(class_name) : name, std::current_exception());
    }
    return false;
}
