#include "core/shared/failure.h"

#include "core/shared/facility.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <new>

namespace {

class Console_reports final : public Failure_sink
{
public:
    void Report(const QString &description, qint16 number, qint16 line, const QString &location,
                const QString &) override
    {
        std::fprintf(stderr, "Location of error: %s line: %d\nerror description: %d, %s\n", qPrintable(location),
                     int(line), int(number), qPrintable(description));
    }
};

// Failures raised while earlier ones are being reported nest only this deep; beyond
// it they go to standard error, so a failure loop cannot exhaust the stack.
constexpr int Max_nested_reports = 4;
thread_local int nested_reports = 0;

void Hand_over(const Failure_text &failure, qint16 line, const QString &location)
{
    if (nested_reports >= Max_nested_reports) {
        Failure_sink::Fallback().Report(failure.description, failure.number, line, location, QString());
        return;
    }
    ++nested_reports;
    try {
        Facility<Failure_sink>::Get().Report(failure.description, failure.number, line, location, QString());
    } catch (...) {
        // The sink itself failed: the report must still be seen somewhere.
        Failure_sink::Fallback().Report(failure.description, failure.number, line, location, QString());
    }
    --nested_reports;
}

} // namespace

Failure_sink &Failure_sink::Fallback()
{
    static Console_reports console;
    return console;
}

Failure_text Describe_failure(std::exception_ptr failure)
{
    // The numbers the reports have always shown for these kinds of failure.
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const Numbered_failure &e) {
        return {e.Number(), e.Description()};
    } catch (const std::bad_alloc &e) {
        return {7, QString::fromLocal8Bit(e.what())}; // Out of memory
    } catch (const std::overflow_error &e) {
        return {6, QString::fromLocal8Bit(e.what())}; // Overflow
    } catch (const std::out_of_range &e) {
        return {9, QString::fromLocal8Bit(e.what())}; // Subscript out of range
    } catch (const std::invalid_argument &e) {
        return {5, QString::fromLocal8Bit(e.what())}; // Invalid procedure call or argument
    } catch (const std::exception &e) {
        return {Unknown_failure_number, QString::fromLocal8Bit(e.what())};
    } catch (...) {
    }
    return {Unknown_failure_number, Unknown_failure_text};
}

void Report_failure(const QString &location, qint16 line, std::exception_ptr failure)
{
    try {
        const Failure_text text = Describe_failure(failure);
        QCoreApplication *application = QCoreApplication::instance();
        if (application && QThread::currentThread() != application->thread()) {
            QMetaObject::invokeMethod(
                application, [text, line, location] { Hand_over(text, line, location); }, Qt::QueuedConnection);
            return;
        }
        Hand_over(text, line, location);
    } catch (...) {
        // Out of memory while describing it: nothing more can be done here.
    }
}
