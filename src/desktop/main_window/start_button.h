#pragma once
// The Start button: tells a click the moment the release that completes it arrives,
// before the button draws itself up again. A push button repaints itself on that
// release before it says it was clicked, and a start must not wait for a repaint.
// What counts as a click is the button's own: a left release inside it after a press
// inside it, the button enabled. Every click is told once: Click_completed comes early
// for the mouse and with clicked() for any other click (keys, click()).

#include <QPushButton>

class Start_button : public QPushButton
{
    Q_OBJECT
public:
    explicit Start_button(QWidget *parent = nullptr);

signals:
    void Click_completed();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool told_ = false; // told at the release: the clicked() that follows is the same click
};
