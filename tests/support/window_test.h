#pragma once
// The common set-up of the window tests: QTEST_MAIN's application, with the
// program's real facilities installed for the whole run, as Run_client installs them.
// A test installs its stand-ins over them (Scoped_facility).

#include "desktop/main_window/form_remotestart.h"
#include "desktop/main_window/run_client.h"

#include <QApplication>
#include <QtTest>

// The window's control with that objectName, as a person finds it by its caption.
// A missing one ends the test run with its name.
template <typename Control>
Control *Find(const QObject *window, const char *name)
{
    Control *control = window->findChild<Control *>(QLatin1String(name));
    if (!control)
        qFatal("%s has no %s", qPrintable(window->objectName()), name);
    return control;
}

// The main window, loaded as the program loads it (not shown).
inline Form_remotestart *Loaded_main_window()
{
    auto *window = new Form_remotestart;
    window->Form_Load();
    return window;
}

#define VELANTRA_WINDOW_TEST_MAIN(Test_class)                                                                 \
    int main(int argc, char **argv)                                                                            \
    {                                                                                                          \
        QApplication app(argc, argv);                                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                               \
        const Program_facilities facilities;                                                                      \
        Test_class test;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                             \
        return QTest::qExec(&test, argc, argv);                                                                \
    }
