#include "desktop/shared/light_face.h"

#include <QMenu>
#include <QWidget>

namespace Light_face {

QPalette Palette()
{
    const QColor face(240, 240, 240);
    const QColor text(0, 0, 0);
    const QColor grey_text(109, 109, 109);
    // The button face's light and shadow shades, as bevels and frames draw them.
    QPalette p(text, face, Qt::white, QColor(160, 160, 160), QColor(200, 200, 200), text, Qt::white);
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, face);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(247, 247, 247));
    p.setColor(QPalette::Midlight, QColor(227, 227, 227));
    p.setColor(QPalette::Shadow, QColor(105, 105, 105));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0, 120, 215));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, grey_text);
    p.setColor(QPalette::Link, QColor(0, 0, 255));
    p.setColor(QPalette::LinkVisited, QColor(128, 0, 128));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, grey_text);
    p.setColor(QPalette::Disabled, QPalette::Base, face);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(200, 200, 200));
    return p;
}

void Apply(QWidget *window)
{
    const QPalette light = Palette();
    window->setPalette(light);
    // Popup menus are windows of their own and do not inherit the palette.
    const QList<QMenu *> menus = window->findChildren<QMenu *>();
    for (QMenu *menu : menus)
        menu->setPalette(light);
}

} // namespace Light_face
