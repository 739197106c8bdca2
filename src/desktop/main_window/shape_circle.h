#pragma once
// A round lamp: a circle outline until it is given a fill colour.

#include <QColor>
#include <QWidget>

class Shape_circle : public QWidget
{
    Q_OBJECT
public:
    explicit Shape_circle(QWidget *parent = nullptr);

    void Set_fill_color(const QColor &color);
    QColor Fill_color() const { return fill_; } // invalid: the design-time look

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor fill_;
};
