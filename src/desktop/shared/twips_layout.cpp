#include "desktop/shared/twips_layout.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <qdrawutil.h>

namespace Layout {

namespace {

// Qt's styles draw a frame's border below its caption, lower than the layout's
// platform does, so children placed by their twips would sit on it: see Frame().
class Twips_frame : public QGroupBox
{
public:
    Twips_frame(const QString &caption, const QColor &caption_color, QWidget *parent)
        : QGroupBox(caption, parent), caption_color_(caption_color)
    {
        Fit_contents_margins();
    }

protected:
    void changeEvent(QEvent *event) override
    {
        QGroupBox::changeEvent(event); // sets margins for the style's own border; ours replace them
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            Fit_contents_margins();
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        // An etched line, two pixels wide, through the middle of the caption.
        qDrawShadeRect(&painter, QRect(0, Line_top(), width(), height() - Line_top()), palette(), true, 1, 0);
        if (title().isEmpty())
            return;
        const int pad = 2;
        QRect caption(Caption_left, 0, metrics.horizontalAdvance(title()) + 2 * pad, metrics.height());
        caption = caption.intersected(rect().adjusted(Caption_left, 0, -Caption_left, 0));
        painter.fillRect(caption, palette().brush(backgroundRole()));
        QPalette colours = palette();
        if (caption_color_.isValid()) {
            colours.setColor(QPalette::Active, QPalette::WindowText, caption_color_);
            colours.setColor(QPalette::Inactive, QPalette::WindowText, caption_color_);
        }
        style()->drawItemText(&painter, caption.adjusted(pad, 0, -pad, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                              colours, isEnabled(), title(), QPalette::WindowText);
    }

private:
    static constexpr int Caption_left = 6;
    static constexpr int Border_width = 2;

    int Line_top() const { return fontMetrics().height() / 2; }

    void Fit_contents_margins()
    {
        setContentsMargins(Border_width, Line_top() + Border_width, Border_width, Border_width);
    }

    QColor caption_color_;
};

} // namespace

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

QGroupBox *Frame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                 const QColor &caption_color)
{
    auto *frame = new Twips_frame(caption, caption_color, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(geometry);
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

void Set_border(QLabel *label)
{
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A label's own indent would also push top-aligned text down by half an x.
    label->setIndent(0);
    const int line = label->frameWidth(); // a frame's width is kept as contents margins
    label->setContentsMargins(line + 2, line, line + 2, line);
}

QPushButton *Button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = Make<QPushButton>(parent, name, geometry);
    button->setText(caption);
    return button;
}

} // namespace Layout
