#include "desktop/shared/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool Install_qt_translations(QCoreApplication &app, const QLocale &locale)
{
    // One translator, owned by the application; a second call replaces its texts.
    auto *translator = app.findChild<QTranslator *>(QStringLiteral("qt_translations"));
    if (!translator) {
        translator = new QTranslator(&app);
        translator->setObjectName(QStringLiteral("qt_translations"));
    }
    QCoreApplication::removeTranslator(translator);
    // qtbase holds the widgets' texts; the locale's UI languages are tried in order.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(translator);
}
