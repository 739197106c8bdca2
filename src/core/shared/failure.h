#pragma once
// The one route of a trapped or unexpected failure: Report_failure turns the failure
// being handled into a report (one numbering for every kind of failure) and hands it
// to the failure sink, a facility (see core/shared/facility.h): the error-report window in
// the program, standard error where no window is installed.

#include <QString>
#include <QtGlobal>

#include <exception>
#include <stdexcept>

class Failure_sink
{
public:
    virtual ~Failure_sink() = default;
    // One report: description, error number, statement number, location, extra text.
    virtual void Report(const QString &description, qint16 number, qint16 line, const QString &location,
                        const QString &extra) = 0;
    static Failure_sink &Fallback(); // standard error
};

// A failure that carries the number its report shows (e.g. a missing resource, 326).
class Numbered_failure : public std::runtime_error
{
public:
    Numbered_failure(const QString &description, qint16 number)
        : std::runtime_error(description.toStdString()), description_(description), number_(number)
    {
    }
    const QString &Description() const { return description_; }
    qint16 Number() const { return number_; }

private:
    QString description_;
    qint16 number_;
};

// The number and description a report shows for a failure.
struct Failure_text
{
    qint16 number = 0;
    QString description;
};
Failure_text Describe_failure(std::exception_ptr failure);
// For a failure that is no C++ standard exception.
constexpr qint16 Unknown_failure_number = 51;
inline const QString Unknown_failure_text = QStringLiteral("Unknown failure");

// Reports the failure (by default the one being handled, in a catch block) as raised
// at location and statement line. Never fails towards its caller. From a thread other
// than the application's, the report is made on the application's thread.
void Report_failure(const QString &location, qint16 line = 0,
                    std::exception_ptr failure = std::current_exception());

// Runs a handler so that no failure leaves it: one goes to Report_failure with the
// location given, which a handler gives as its own name: Guarded(__func__, [&] { ... }).
template <typename Handler>
void Guarded(const char *location, Handler &&handler) noexcept
{
    try {
        handler();
    } catch (...) {
        Report_failure(QString::fromLatin1(location));
    }
}
