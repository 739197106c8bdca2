#include "desktop/main_window/shape_circle.h"

#include <QPainter>

Shape_circle::Shape_circle(QWidget *parent) : QWidget(parent) {}

void Shape_circle::Set_fill_color(const QColor &color)
{
    fill_ = color;
    update();
}

void Shape_circle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill_.isValid() ? QBrush(fill_) : QBrush(Qt::NoBrush));
    // The circle of the shape's smaller side, centred, as a circle shape draws.
    const int side = qMin(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}
