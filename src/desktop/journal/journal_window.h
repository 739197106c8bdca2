#pragma once
// The race journal in a window of the program's own, so it opens on any install (no
// launcher needed): today's file, read-only, following the lines as the journal writes
// them, with a choice to see the starts and aborts alone. Only what is new is read; of
// a huge file the last part is shown, and said so. A journal that cannot be read says
// why. "Open in viewer" hands the file to the desktop where it has a viewer.

#include <QString>
#include <QWidget>

#include <deque>
#include <functional>

class QCheckBox;
class QFileSystemWatcher;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class Journal_window : public QWidget
{
    Q_OBJECT
public:
    // How much of the file the window holds at most: the last part of a bigger one.
    static constexpr qint64 Default_shown_bytes = qint64(2) * 1024 * 1024;
    // How often the file is looked at where the system does not tell of changes.
    static constexpr int Poll_ms = 1000;

    // path: the file the journal writes now (empty while it has not opened one); then
    // today's file in folder is shown.
    Journal_window(const QString &folder, std::function<QString()> path, QWidget *owner,
                   qint64 shown_bytes = Default_shown_bytes);

    // The owner's one journal window: made on first use, else raised.
    static Journal_window *Show_for(QWidget *owner, const QString &folder, std::function<QString()> path);

    // Reads what was added since the last look (the watcher and the timer call it).
    void Check_now();

    // True: only the lines of a start or an abort (sent, not sent or not acknowledged).
    static bool Is_start_or_abort(const QString &line);

private:
    void Start_over();
    void Read_new(const QString &path);
    void Add_lines(const QStringList &lines);
    void Show_all();
    void Say_state();
    void Say_cannot_read(const QString &path, int error);
    void Open_in_viewer();

    QString folder_;
    std::function<QString()> path_;
    qint64 shown_bytes_;

    QString file_;             // the file shown
    qint64 offset_ = 0;        // read up to here
    bool skip_to_line_ = false; // a cut began mid-line: its rest is not shown
    bool cut_ = false;          // earlier lines are not shown
    qint64 file_size_ = 0;
    QByteArray partial_;        // a line not yet ended
    std::deque<QString> lines_; // what is held, oldest first
    qint64 held_bytes_ = 0;
    QString problem_;           // why the file cannot be read, when it cannot

    QLabel *Label_journal_status = nullptr;
    QPlainTextEdit *Text_journal = nullptr;
    QCheckBox *Check_starts_only = nullptr;
    QPushButton *Command_open_viewer = nullptr;
    QLabel *Label_viewer = nullptr;
    QFileSystemWatcher *watcher_ = nullptr;
    QTimer *poll_ = nullptr;
};
