#include "shared/twips_layout.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace Layout {

int Px(double twips)
{
    return qRound(twips / 15.0);
}

QRect Twips(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

QFont Font(const QString &family, qreal points, bool bold, bool italic)
{
    static const bool substitutes_installed = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("Arial"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                                   {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
        return true;
    }();
    Q_UNUSED(substitutes_installed);
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void Set_text_color(QWidget *widget, const QColor &color, QPalette::ColorRole role)
{
    QPalette p = widget->palette();
    p.setColor(role, color);
    widget->setPalette(p);
}

QGroupBox *Frame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *frame = Make<QGroupBox>(parent, name, geometry);
    frame->setTitle(caption);
    return frame;
}

QLabel *Label(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *label = Make<QLabel>(parent, name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = Make<QPushButton>(parent, name, geometry);
    button->setText(caption);
    return button;
}

} // namespace Layout
