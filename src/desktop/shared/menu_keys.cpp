#include "desktop/shared/menu_keys.h"

#include <QAction>
#include <QKeySequence>
#include <QMenuBar>
#include <QShortcut>

void Open_menu_bar_on_F10(QMenuBar *bar)
{
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), bar->window());
    f10->setObjectName(QStringLiteral("menu_bar_F10"));
    f10->setContext(Qt::WindowShortcut);
    QObject::connect(f10, &QShortcut::activated, bar, [bar] {
        const QList<QAction *> menus = bar->actions();
        for (QAction *menu : menus) {
            if (menu->menu() && menu->isVisible() && menu->isEnabled()) {
                bar->setActiveAction(menu); // opens it, its first item highlighted by Down
                return;
            }
        }
    });
}
