// Qt's own texts follow the desktop's language; the program's own stay as they are.

#include "desktop/shared/qt_translations.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class Tst_qt_translations : public QObject
{
    Q_OBJECT

private slots:
    void a_box_buttons_read_in_the_desktop_language()
    {
        // In CI the translations are installed (tools/install-deps.sh): there they must work.
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm"))) {
            if (Services_required())
                QFAIL("Qt's translations are not installed (qt6-translations-l10n)");
            QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
        }
        const auto cancel_text = [] {
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            return box.button(QMessageBox::Cancel)->text();
        };
        QVERIFY(Install_qt_translations(*qApp, QLocale(QStringLiteral("de_DE"))));
        QCOMPARE(cancel_text(), QStringLiteral("Abbrechen"));
        // A later language replaces the earlier one rather than lying under it.
        Install_qt_translations(*qApp, QLocale(QStringLiteral("en_US")));
        QCOMPARE(cancel_text(), QStringLiteral("Cancel"));
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_qt_translations)
#include "tst_qt_translations.moc"
