#pragma once
// Space, Return and keypad Enter press a push button once per physical press. A held
// key repeats in whatever form the window system has: X11 sends release and press
// pairs (marked as repeats or not, depending on what Qt found queued), X11 with
// detectable auto-repeat and Wayland send presses only. None of them presses again,
// not even a release of a held Space. Mouse clicks are left alone.
//
// A held key can never outlive the key: where the window system may have given its
// release elsewhere (a window a box blocked, which is given no key; another program),
// the keys held are asked of the key map, and each that is up is let go, unclicked.

#include <QObject>
#include <QPointer>
#include <QSet>

class QKeyEvent;
class QPushButton;

class One_press_keys : public QObject
{
    Q_OBJECT
public:
    // Watches the keys program-wide while it lives: a release may reach any window.
    explicit One_press_keys(QObject *parent = nullptr);

    // Space, Return and keypad Enter on this button are handled here from now on.
    void Watch(QPushButton *button);
    // True while a key of a watched button clicks it: what gave the click, for the record.
    bool Keyed_click() const { return keyed_click_; }
    // Lets go, without a click, of every key held here that the key map has up.
    void Recheck();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Key
    {
        bool held = false;
        // The time of the last release taken as the key's letting go: a press at the same
        // moment is the second half of a repeat that waited in the queue until then.
        quint64 release_time = 0;
        // A release read while the key was down again: a repeat's, whose press comes at the
        // same moment, or the letting go itself, read so late that the next press had begun.
        quint64 doubtful_release = 0;
        QPointer<QPushButton> down; // Space only: the button it holds down until released
        quint32 scan_code = 0;      // of the press, to ask the key map
    };
    Key *Key_of(const QKeyEvent *key);
    bool Pressed(Key &key, const QKeyEvent *event, QPushButton *button);
    bool Released(Key &key, const QKeyEvent *event, bool on_button);
    void Release(Key &key, bool click = true);
    void Click(QPushButton *button);

    Key space_, return_, enter_;
    QSet<QObject *> buttons_;
    bool keyed_click_ = false;
};
