#pragma once
// Qt's own texts (a message box's buttons, a context menu's items) in the desktop's
// language, from the translations Qt ships. The program's own texts are not translated.

class QCoreApplication;
class QLocale;

// Loads Qt's translation for the locale into the application. Where none is installed
// for it (or the locale is English) Qt's texts stay English; nothing is said.
// Returns true when one was loaded.
bool Install_qt_translations(QCoreApplication &app, const QLocale &locale);
