#pragma once
// Building windows from layout tables given in twips, with each control named
// after its place in the table.

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace Layout {

// 15 twips make a pixel at 96 dots per inch.
int Px(double twips);
QRect Twips(int left, int top, int width, int height);

// A font of the layout; Windows typefaces fall back to their metric-compatible twins.
QFont Font(const QString &family, qreal points, bool bold = false, bool italic = false);

void Set_text_color(QWidget *widget, const QColor &color, QPalette::ColorRole role = QPalette::WindowText);

template <typename W>
W *Make(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QGroupBox *Frame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);
// Plain text always: labels may show text from outside.
QLabel *Label(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);
QPushButton *Button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);

} // namespace Layout
