#include "desktop/error_report/dkn_error_form.h"

#include "core/error_report/error_report_text.h"
#include "core/shared/ansi_text.h"
#include "desktop/shared/forms.h"
#include "desktop/shared/light_face.h"
#include "desktop/shared/printers.h"
#include "desktop/shared/twips_layout.h"
#include "desktop/shared/window_helpers.h"
#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/file_append.h"
#include "core/shared/globals.h"
#include "core/shared/message_box.h"
#include "core/shared/platform.h"
#include "core/shared/trace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPagedPaintDevice>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <exception>
#include <utility>

namespace {

using namespace Error_report;

QPointer<DKN_error_form> &Instance()
{
    static QPointer<DKN_error_form> form;
    return form;
}

using namespace Layout;

QLabel *Report_label(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                     bool bordered = false)
{
    QLabel *label = Layout::Label(parent, name, caption, geometry); // descriptions come from anywhere
    if (bordered) {
        Set_border(label);
        label->setFont(Font(QStringLiteral("MS Sans Serif"), 9.6, false));
        label->setWordWrap(true);
    }
    return label;
}

// A button whose caption wraps onto a second line when it is wider than the
// button, as the layout's platform does, so all five keep the window's one font.
// The text itself stays as given.
class Wrapping_button : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option); // the button and its focus mark
        const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(room, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, palette(), isEnabled(),
                             text(), QPalette::ButtonText);
    }
};

QPushButton *Command_button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = Make<Wrapping_button>(parent, name, geometry);
    button->setText(caption);
    return button;
}

} // namespace

void DKN_Error_Trap() { QCoreApplication::processEvents(); }

void DKN_Error_Handler(const QString &description, qint16 number, qint16 line, const QString &location,
                       const QString &extra)
{
    // Without a window system there is no window to show: the report goes to the console.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        Failure_sink::Fallback().Report(description, number, line, location, extra);
        return;
    }
    qint16 step = 3280;
    try {
        step = 3290;
        Trace_Write({QStringLiteral("*DKN_error_handler1, ") + QString::number(number) + QLatin1Char(',')
                     + QString::number(line) + QLatin1Char(',') + location});
        step = 3300;
        QPointer<DKN_error_form> form = DKN_error_form::Default_instance();
        form->show();
        step = 3310;
        DKN_Error_Trap();
        step = 3320;
        Trace_Write({QStringLiteral("*DKN_error_handler2")});
        // A close box clicked during the yield unloads the window; the report still needs one.
        if (form != DKN_error_form::Loaded_instance()) {
            form = DKN_error_form::Default_instance();
            form->show();
        }
        step = 3330;
        form->Set_report_text(Location_line(location, line));
        step = 3340;
        form->Append_report_text(Error_line(number, description));
        step = 3350;
        form->Append_report_text(Version_line());
        step = 3360;
        form->Append_report_text(Extra_text(extra));
        step = 3370;
        form->Append_report_text(Program_text());
        step = 3380;
        form->Append_report_text(Uptime_text(Platform::Uptime_ms()));
        step = 3390;
        form->repaint();
        step = 3440;
        form->Append_report_text(Crlf);
        step = 3450;
        Trace_Write({QStringLiteral("*DKN_error_handler5")});
    } catch (...) {
        // Its own failure is shown, not reported: a report would come back here.
        const Failure_text failure = Describe_failure(std::current_exception());
        Show_Message(QStringLiteral("*Error in Error_form") + failure.description + QString::number(failure.number)
                     + QLatin1Char(' ') + QString::number(step));
    }
}

void Error_window_reports::Report(const QString &description, qint16 number, qint16 line, const QString &location,
                                  const QString &extra)
{
    DKN_Error_Handler(description, number, line, location, extra);
}

DKN_error_form *DKN_error_form::Default_instance()
{
    if (!Instance()) {
        auto *form = new DKN_error_form;
        Instance() = form;
        form->Form_Load();
    }
    return Instance();
}

DKN_error_form *DKN_error_form::Loaded_instance() { return Instance(); }

DKN_error_form::DKN_error_form() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("DKN_error_form"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Sizeable, with a close box but no minimise or maximise button. A dialog, so the window
    // system (X11 too) is told whose it is: kept above the main window, on Wayland as well.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("DKN error"));
    Light_face::Apply(this);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    Build_layout();
    Forms::Register_Form(this);
}

void DKN_error_form::Build_layout()
{
    setFont(Font(QStringLiteral("MS Sans Serif"), 9.6, true));
    resize(Twips(0, 0, 9012, 7164).size());

    Label1_ = Report_label(this, "Label1", QStringLiteral("Error report"), Twips(120, 240, 5175, 495));
    Label1_->setFont(Font(QStringLiteral("Arial"), 13.8, false));
    err_lbl_ = Report_label(this, "err_lbl", QString(), Twips(120, 840, 7815, 2055), true);
    ProgressBar1_ = Make<QProgressBar>(this, "ProgressBar1", Twips(600, 2400, 6495, 495));
    ProgressBar1_->setTextVisible(false);
    ProgressBar1_->setAccessibleName(QStringLiteral("Print progress"));

    Frame_Comments_ = Frame(this, "Frame_Comments", QStringLiteral("Enter your comments here"), Twips(120, 3000, 7695, 1455));
    Text_error_comments_ = Make<QPlainTextEdit>(Frame_Comments_, "Text_error_comments", Twips(120, 240, 7455, 1095));
    Text_error_comments_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text_error_comments_->setTabChangesFocus(true);
    Text_error_comments_->setAccessibleName(Frame_Comments_->title());

    Frame_PC_techs_ = Frame(this, "Frame_PC_techs", QStringLiteral("PC tech data"), Twips(120, 4560, 7695, 1575));
    auto *pc_caption = Report_label(Frame_PC_techs_, "Lbll_PC_info", QStringLiteral("PC info:"), Twips(120, 360, 855, 255));
    Label_PC_info_ = Report_label(Frame_PC_techs_, "Label_PC_info", QString(), Twips(1440, 360, 5535, 375), true);
    pc_caption->setBuddy(Label_PC_info_);
    auto *windows_caption = Report_label(Frame_PC_techs_, "Lbl_Windows_Version", QStringLiteral("Windows version:"),
                                  Twips(120, 840, 1095, 495));
    windows_caption->setWordWrap(true);
    Label_Windows_Version_ = Report_label(Frame_PC_techs_, "Label_Windows_Version", QString(), Twips(1440, 840, 3735, 495), true);

    auto *print = Command_button(this, "Cmd_print_error", QStringLiteral("Print report"), Twips(120, 6240, 975, 615));
    auto *save = Command_button(this, "Cmd_save_log", QStringLiteral("Save in log file"), Twips(1200, 6240, 1215, 615));
    auto *mail = Command_button(this, "Cmd_mailto", QStringLiteral("Send mail"), Twips(2520, 6240, 1335, 615));
    auto *go_on = Command_button(this, "Cmd_continue", QStringLiteral("Continue"), Twips(3960, 6240, 1095, 615));
    auto *quit = Command_button(this, "Cmd_exit", QStringLiteral("Exit program"), Twips(6480, 6240, 1215, 615));
    connect(print, &QPushButton::clicked, this, &DKN_error_form::Cmd_print_error_Click);
    connect(save, &QPushButton::clicked, this, &DKN_error_form::Cmd_save_log_Click);
    connect(mail, &QPushButton::clicked, this, &DKN_error_form::Cmd_mailto_Click);
    connect(go_on, &QPushButton::clicked, this, &DKN_error_form::Cmd_continue_Click);
    connect(quit, &QPushButton::clicked, this, &DKN_error_form::Cmd_exit_Click);

    setTabOrder(print, go_on);
    setTabOrder(go_on, save);
    setTabOrder(save, quit);
    setTabOrder(quit, mail);
    setTabOrder(mail, Text_error_comments_);
}

void DKN_error_form::Form_Load()
{
    ProgressBar1_->setGeometry(Twips(600, 2400, 6495, 495));
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    ProgressBar1_->setVisible(true);
    DKN_Error_Initialize();
    MakeTopMost(this);
}

void DKN_error_form::DKN_Error_Initialize()
{
    using namespace Globals;
    Fill_machine_texts();
    setWindowTitle(Program_name + QStringLiteral(" error"));
    Label1_->setText(Program_name + QStringLiteral(" error report"));
    Label_PC_info_->setText(Computer_name + QStringLiteral(" ") + PC_description + QStringLiteral(" Ram: ")
                            + Ram_size_text);
    Label_Windows_Version_->setText(Windows_version_text + Crlf + QStringLiteral("CPU = ") + Cpu_text
                                    + QStringLiteral(" OS = ") + Os_text);
}

void DKN_error_form::MakeTopMost(QWidget *window) { Window_On_Top(window); }

QString DKN_error_form::Report_text() const { return err_lbl_->text(); }
QString DKN_error_form::Comments_text() const { return Text_error_comments_->toPlainText(); }
void DKN_error_form::Set_report_text(const QString &text) { err_lbl_->setText(text); }
void DKN_error_form::Append_report_text(const QString &text) { err_lbl_->setText(err_lbl_->text() + text); }

void DKN_error_form::closeEvent(QCloseEvent *event)
{
    Trace_Write({QStringLiteral("*DKN_error_form Form_QueryUnload,end")});
    event->accept();
    // Unloaded from now on, though deleted only later: the next report loads a new one.
    if (Instance() == this)
        Instance().clear();
}

void DKN_error_form::Cmd_continue_Click() { hide(); }

void DKN_error_form::Cmd_exit_Click()
{
    // At once: no further event runs and the orderly shutdown is skipped on purpose.
    Platform::Exit_now(0);
}

void DKN_error_form::Cmd_save_log_Click() { Write_Error_Log(); }

namespace {
// The number and description a failure to save the log shows, from the system's error.
std::pair<qint16, QString> Log_failure(int error, bool opening)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return {70, QStringLiteral("Permission denied")};
    case ENOENT:
    case ENOTDIR:
        return {76, QStringLiteral("Path not found")};
    case ENOSPC:
    case EFBIG: // the file-size limit (ulimit -f): for the user the same as a full disk
#ifdef EDQUOT
    case EDQUOT:
#endif
        return {61, QStringLiteral("Disk full")};
    default:
        break;
    }
    if (opening)
        return {75, QStringLiteral("Path/File access error")};
    return {57, QStringLiteral("Device I/O error")};
}
} // namespace

void DKN_error_form::Write_Error_Log()
{
    const QString path = Log_file_path();
    std::pair<qint16, QString> failure{0, QString()};
    try {
        // The record is whole before the file is touched, and goes out in one write.
        const QByteArray record =
            To_Ansi(Compose_log_record(QDateTime::currentDateTime(), Report_text(), Comments_text()));
        const QString &folder = Globals::User_appdata_path;
        // Never relative: the log goes to the data folder or nowhere.
        if (folder.isEmpty() || QDir::isRelativePath(folder) || !QFileInfo(folder).isDir()) {
            failure = Log_failure(ENOENT, true);
        } else if (const Append_failure failed = Append_whole(path, record); failed.error != 0) {
            failure = Log_failure(failed.error, failed.opening);
        }
    } catch (...) {
        const Failure_text text = Describe_failure(std::current_exception());
        failure = {text.number, text.description};
    }
    if (failure.first != 0) {
        Show_Message(QStringLiteral("Log error") + failure.second + QLatin1Char(' ') + QString::number(failure.first));
        return;
    }
    Show_Message(QStringLiteral("Error info appended to file: ") + path);
}

void DKN_error_form::Cmd_print_error_Click()
{
    if (Facility<Printers>::Get().Count() == 0) {
        Show_Message(QStringLiteral("No printer availible"));
        return;
    }
    bool printed = false;
    try {
        const QString report = Report_text(), comments = Comments_text();
        printed = Facility<Printers>::Get().Print(
            true, Globals::Program_name + QStringLiteral(" error report"),
            [&](QPagedPaintDevice &printer) { return Print_report(printer, report, comments); });
    } catch (...) {
        printed = false;
    }
    if (!printed) {
        Show_Message(QStringLiteral("Printer error"));
        return;
    }
    Show_print_progress();
}

void DKN_error_form::Show_print_progress()
{
    ProgressBar1_->setRange(1, 100);
    ProgressBar1_->setVisible(true);
    // Deliberately blocking: no other window event runs while the bar fills.
    for (int value = ProgressBar1_->minimum(); value <= ProgressBar1_->maximum(); ++value) {
        ProgressBar1_->setValue(value);
        ProgressBar1_->repaint();
        QThread::msleep(5);
    }
    ProgressBar1_->setVisible(false);
}

void DKN_error_form::Cmd_mailto_Click()
{
    // Whatever goes wrong here stays silent: the user still has the other two ways.
    try {
        const QUrl url = QUrl::fromEncoded(
            Compose_mail_url(QDateTime::currentDateTime(), Report_text(), Comments_text()), QUrl::StrictMode);
        if (url.isValid())
            Platform::Open_Url(url);
    } catch (...) {
    }
}

namespace Error_report {

bool Print_report(QPagedPaintDevice &printer, const QString &report, const QString &comments)
{
    const QList<Print_line> page = Compose_printed_page(QDateTime::currentDateTime(), report, comments);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The page starts 100 twips in from the printable area's top left corner.
    const qreal offset = printer.logicalDpiY() * 100.0 / 1440.0;
    const qreal width = painter.device()->width() - 2 * offset;
    const qreal bottom = painter.device()->height() - offset;
    const QFont base = painter.font(); // the printer's default typeface
    qreal y = offset;
    for (const Print_line &line : page) {
        QFont font = base;
        font.setPointSize(line.points);
        font.setBold(line.emphasised);
        painter.setFont(font);
        const qreal spacing = QFontMetricsF(font, &printer).lineSpacing();
        // Long lines wrap rather than run off the paper.
        const QRectF needed = line.text.isEmpty()
                                  ? QRectF(offset, y, width, spacing)
                                  : painter.boundingRect(QRectF(offset, y, width, 1e6), Qt::TextWordWrap, line.text);
        const qreal height = qMax(needed.height(), spacing);
        if (y + height > bottom && y > offset) {
            if (!printer.newPage())
                return false;
            y = offset;
        }
        painter.drawText(QRectF(offset, y, width, height), Qt::TextWordWrap, line.text);
        y += height;
    }
    return painter.end();
}

} // namespace Error_report
