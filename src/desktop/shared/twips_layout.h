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

// A frame drawn as the layout's platform draws one: its border runs through the
// middle of the caption, so children placed by their twips lie inside it. The
// contents rectangle is the area inside the border. The caption takes the
// frame's text colour, or caption_color when given; children keep theirs.
QGroupBox *Frame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                 const QColor &caption_color = QColor());
// Plain text always: labels may show text from outside.
QLabel *Label(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);
// A sunken border around a label. Its text keeps a small gap from the side lines
// only, so a label as tall as its lines of text shows them whole.
void Set_border(QLabel *label);
QPushButton *Button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);

} // namespace Layout
