#pragma once
// The error-report window: shows one trapped failure beside a comments box and
// lets the user append it to the error log, print it, mail it, go on or quit.

#include "core/shared/failure.h"

#include <QString>
#include <QWidget>
#include <QtGlobal>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPagedPaintDevice;
class QProgressBar;
class QPushButton;

// Reports one trapped failure in the error-report window; never fails towards its caller.
void DKN_Error_Handler(const QString &description, qint16 number, qint16 line,
                       const QString &location, const QString &extra);

// Lets all pending window events run once.
void DKN_Error_Trap();

// The end of the failure route in the program (see core/shared/failure.h): the error-report window.
class Error_window_reports final : public Failure_sink
{
public:
    void Report(const QString &description, qint16 number, qint16 line, const QString &location,
                const QString &extra) override;
};

class DKN_error_form : public QWidget
{
    Q_OBJECT
public:
    // The program's one error window, loaded (and registered) on first use.
    static DKN_error_form *Default_instance();
    // The window when it is loaded, otherwise null.
    static DKN_error_form *Loaded_instance();

    void DKN_Error_Initialize();
    void MakeTopMost(QWidget *window);

    // The report as shown, and the user's comments.
    QString Report_text() const;
    QString Comments_text() const;
    void Set_report_text(const QString &text);
    void Append_report_text(const QString &text);

    void Cmd_continue_Click();
    void Cmd_exit_Click();
    void Cmd_save_log_Click();
    void Cmd_print_error_Click();
    void Cmd_mailto_Click();
    void Write_Error_Log();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    DKN_error_form();
    void Form_Load();
    void Build_layout();
    void Show_print_progress();

    QLabel *Label1_ = nullptr;
    QLabel *err_lbl_ = nullptr;
    QProgressBar *ProgressBar1_ = nullptr;
    QGroupBox *Frame_Comments_ = nullptr;
    QPlainTextEdit *Text_error_comments_ = nullptr;
    QGroupBox *Frame_PC_techs_ = nullptr;
    QLabel *Label_PC_info_ = nullptr;
    QLabel *Label_Windows_Version_ = nullptr;
};

namespace Error_report {

// Draws the page on the printer and hands the document over; false when it failed.
bool Print_report(QPagedPaintDevice &printer, const QString &report, const QString &comments);

} // namespace Error_report
