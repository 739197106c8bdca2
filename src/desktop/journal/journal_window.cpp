#include "desktop/journal/journal_window.h"

#include "core/journal/race_journal.h"
#include "core/shared/platform.h"
#include "core/shared/regular_file.h"
#include "desktop/shared/light_face.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// A line longer than a screen can show (a flood the server sent as one line) is cut
// for the window, which would lay it out slowly; the file keeps it whole.
constexpr qsizetype Longest_line = 2000;

QString Shown_line(const QString &line)
{
    if (line.size() <= Longest_line)
        return line;
    return line.left(Longest_line) + QStringLiteral(" ... (%1 more characters)").arg(line.size() - Longest_line);
}

QString Mib(qint64 bytes)
{
    return QString::number(double(bytes) / (1024 * 1024), 'f', bytes < 10 * 1024 * 1024 ? 1 : 0) + QStringLiteral(" MiB");
}

} // namespace

Journal_window::Journal_window(const QString &folder, std::function<QString()> path, QWidget *owner, qint64 shown_bytes)
    : QWidget(owner, Qt::Window), folder_(folder), path_(std::move(path)), shown_bytes_(std::max<qint64>(1, shown_bytes))
{
    setObjectName(QStringLiteral("Journal_window"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Race journal"));
    Light_face::Apply(this);
    resize(860, 520);

    Label_journal_status = new QLabel(this);
    Label_journal_status->setObjectName(QStringLiteral("Label_journal_status"));
    Label_journal_status->setTextFormat(Qt::PlainText); // paths and system errors come from outside
    Label_journal_status->setWordWrap(true);
    Label_journal_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Text_journal = new QPlainTextEdit(this);
    Text_journal->setObjectName(QStringLiteral("Text_journal"));
    Text_journal->setAccessibleName(QStringLiteral("Journal lines"));
    Text_journal->setReadOnly(true);
    Text_journal->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text_journal->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The fields are tab-separated: a short stop keeps a line on the screen.
    Text_journal->setTabStopDistance(Text_journal->fontMetrics().horizontalAdvance(QStringLiteral("   ")));

    Check_starts_only = new QCheckBox(QStringLiteral("&Starts and aborts only"), this);
    Check_starts_only->setObjectName(QStringLiteral("Check_starts_only"));
    Command_open_viewer = new QPushButton(QStringLiteral("&Open in viewer"), this);
    Command_open_viewer->setObjectName(QStringLiteral("Command_open_viewer"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("Command_close"));
    Label_viewer = new QLabel(this);
    Label_viewer->setObjectName(QStringLiteral("Label_viewer"));
    Label_viewer->setTextFormat(Qt::PlainText);
    Label_viewer->setWordWrap(true);
    Label_viewer->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Check_starts_only);
    buttons->addStretch(1);
    buttons->addWidget(Command_open_viewer);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label_journal_status);
    layout->addWidget(Text_journal, 1);
    layout->addWidget(Label_viewer);
    layout->addLayout(buttons);
    setTabOrder(Text_journal, Check_starts_only);
    setTabOrder(Check_starts_only, Command_open_viewer);
    setTabOrder(Command_open_viewer, close);

    connect(Check_starts_only, &QCheckBox::toggled, this, &Journal_window::Show_all);
    connect(Command_open_viewer, &QPushButton::clicked, this, &Journal_window::Open_in_viewer);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    // The watcher tells at once where the system can; the timer catches the rest (a
    // file made after the window opened, a file system that does not tell).
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &Journal_window::Check_now);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &Journal_window::Check_now);
    poll_ = new QTimer(this);
    poll_->setInterval(Poll_ms);
    connect(poll_, &QTimer::timeout, this, &Journal_window::Check_now);
    poll_->start();

    Check_now();
    Text_journal->setFocus();
}

Journal_window *Journal_window::Show_for(QWidget *owner, const QString &folder, std::function<QString()> path)
{
    auto *window = owner->findChild<Journal_window *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new Journal_window(folder, std::move(path), owner);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

bool Journal_window::Is_start_or_abort(const QString &line)
{
    // time, event, kind, ...: a message's lines name its kind third.
    const QList<QStringView> fields = QStringView(line).split(QLatin1Char('\t'));
    if (fields.size() < 3)
        return false;
    const QStringView event = fields.at(1), kind = fields.at(2);
    return (event == u"sent" || event == u"unsent" || event == u"unacknowledged") && (kind == u"start" || kind == u"abort");
}

void Journal_window::Check_now()
{
    QString path = path_ ? path_() : QString();
    if (path.isEmpty())
        path = Race_journal::Day_path(folder_, QDate::currentDate());
    if (path != file_) {
        // Another file (the first look, a new day): read from its start.
        if (!watcher_->files().isEmpty())
            watcher_->removePaths(watcher_->files());
        if (!watcher_->directories().isEmpty())
            watcher_->removePaths(watcher_->directories());
        file_ = path;
        Start_over();
        Show_all();
    }
    if (file_.isEmpty()) {
        problem_ = QStringLiteral("The journal cannot be shown: the data folder is not known (%1).").arg(folder_);
        Say_state();
        return;
    }
    Read_new(file_);
    // Watched once it is there; its folder until then, to see it made.
    const QString folder = QFileInfo(file_).absolutePath();
    if (QFileInfo::exists(file_) && !watcher_->files().contains(file_))
        watcher_->addPath(file_);
    else if (!QFileInfo::exists(file_) && QFileInfo(folder).isDir() && !watcher_->directories().contains(folder))
        watcher_->addPath(folder);
    Say_state();
}

void Journal_window::Start_over()
{
    offset_ = 0;
    file_size_ = 0;
    skip_to_line_ = false;
    cut_ = false;
    partial_.clear();
    lines_.clear();
    held_bytes_ = 0;
}

void Journal_window::Read_new(const QString &path)
{
    QFile file(path);
    int error = 0;
    if (!Regular_file::Open(file, QIODevice::ReadOnly, &error)) {
        Say_cannot_read(path, error);
        return;
    }
    problem_.clear();
    const qint64 size = file.size();
    if (size < offset_) { // cut short or made anew: read again from the start
        Start_over();
        Show_all();
    }
    file_size_ = size;
    if (size - offset_ > shown_bytes_) {
        // More than the window holds: only the last part, from its first whole line (the
        // byte before it tells whether the part begins with one).
        offset_ = size - shown_bytes_ - 1;
        skip_to_line_ = true;
        cut_ = true;
        partial_.clear();
        lines_.clear(); // the new part fills the window alone: no gap above it
        held_bytes_ = 0;
        Text_journal->clear();
    }
    if (size == offset_ || !file.seek(offset_))
        return;
    QByteArray bytes = file.read(size - offset_);
    offset_ += bytes.size();
    if (skip_to_line_) {
        const qsizetype end = bytes.indexOf('\n');
        bytes.remove(0, end < 0 ? bytes.size() : end + 1);
        skip_to_line_ = end < 0;
    }
    partial_ += bytes;
    const qsizetype last = partial_.lastIndexOf('\n');
    if (last < 0) {
        if (partial_.size() > shown_bytes_) { // no line end in sight (a broken file): not held
            partial_.clear();
            skip_to_line_ = true;
            cut_ = true;
        }
        return; // the line is still being written
    }
    QStringList lines;
    for (QByteArray &line : partial_.left(last).split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines << QString::fromUtf8(line);
    }
    partial_.remove(0, last + 1);
    Add_lines(lines);
}

void Journal_window::Add_lines(const QStringList &lines)
{
    const bool only = Check_starts_only->isChecked();
    const size_t before = lines_.size();
    for (const QString &line : lines) {
        lines_.push_back(line);
        held_bytes_ += line.size() + 1;
    }
    // Beyond the limit the oldest go, from the window too.
    size_t dropped = 0;
    int dropped_shown = 0;
    while (held_bytes_ > shown_bytes_ && !lines_.empty()) {
        if (dropped < before && (!only || Is_start_or_abort(lines_.front())))
            ++dropped_shown;
        held_bytes_ -= lines_.front().size() + 1;
        lines_.pop_front();
        ++dropped;
        cut_ = true;
    }
    if (dropped_shown > 0) {
        QTextCursor cursor(Text_journal->document()->firstBlock());
        if (cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, dropped_shown))
            cursor.removeSelectedText();
        else
            Text_journal->clear(); // every line shown went
    }
    QStringList shown;
    for (size_t i = before - std::min(before, dropped); i < lines_.size(); ++i)
        if (!only || Is_start_or_abort(lines_[i]))
            shown << Shown_line(lines_[i]);
    if (!shown.isEmpty())
        Text_journal->appendPlainText(shown.join(QLatin1Char('\n'))); // keeps the view at the end when it was there
}

void Journal_window::Show_all()
{
    const bool only = Check_starts_only->isChecked();
    QStringList shown;
    for (const QString &line : lines_)
        if (!only || Is_start_or_abort(line))
            shown << Shown_line(line);
    Text_journal->setPlainText(shown.join(QLatin1Char('\n')));
    Text_journal->moveCursor(QTextCursor::End);
    Say_state();
}

void Journal_window::Say_cannot_read(const QString &path, int error)
{
    const QString where = QDir::toNativeSeparators(path);
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    switch (error) {
    case ENOENT:
        problem_ = QFileInfo(QFileInfo(path).absolutePath()).isDir()
                       ? QStringLiteral("No journal yet today: %1 has not been written yet.").arg(where)
                       : QStringLiteral("The data folder %1 does not exist, so there is no journal yet.").arg(folder);
        break;
    case EACCES:
    case EPERM:
        problem_ = QStringLiteral("The journal cannot be read: permission denied (%1).").arg(where);
        break;
    case EISDIR:
    case EINVAL:
        problem_ = QStringLiteral("The journal cannot be read: %1 is not a regular file.").arg(where);
        break;
    default:
        problem_ = QStringLiteral("The journal cannot be read: %1: %2.").arg(where, QString::fromLocal8Bit(std::strerror(error)));
        break;
    }
}

void Journal_window::Say_state()
{
    QString text;
    if (!problem_.isEmpty()) {
        text = problem_;
    } else {
        text = QStringLiteral("%1, read-only; new lines appear as they are written.").arg(QDir::toNativeSeparators(file_));
        if (cut_)
            text += QStringLiteral("\nShown: the last %1 of %2; the earlier lines are in the file (Open in viewer).")
                        .arg(Mib(shown_bytes_), Mib(file_size_));
    }
    if (Label_journal_status->text() != text)
        Label_journal_status->setText(text);
    Command_open_viewer->setEnabled(problem_.isEmpty() && !file_.isEmpty());
}

void Journal_window::Open_in_viewer()
{
    if (Platform::Open_Url(QUrl::fromLocalFile(file_))) {
        Label_viewer->hide();
        return;
    }
    Label_viewer->setText(QStringLiteral("No viewer could be started for %1: this desktop has no program to open it "
                                         "with (such as xdg-open). It is shown here.")
                              .arg(QDir::toNativeSeparators(file_)));
    Label_viewer->show();
}
