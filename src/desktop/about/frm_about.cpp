#include "desktop/about/frm_about.h"

#include "core/error_report/error_report_text.h"
#include "desktop/shared/forms.h"
#include "desktop/shared/light_face.h"
#include "desktop/shared/menu_keys.h"
#include "desktop/shared/printers.h"
#include "desktop/shared/twips_layout.h"
#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/file_date.h"
#include "core/shared/globals.h"
#include "core/shared/keyboard.h"
#include "core/shared/message_box.h"
#include "core/shared/platform.h"
#include "core/shared/time_texts.h"
#include "core/start_trigger/vendor_library.h"

#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPagedPaintDevice>
#include <QPushButton>

namespace {

const QString Vendor_web_address = QStringLiteral("www.velantra.example");
// Short enough to fit the window whole, web address included.
const QString Rights_notice =
    QStringLiteral("\u00a9 ") + Error_report::Vendor_company + QStringLiteral(", all rights reserved. ") + Vendor_web_address;

using namespace Layout;

QLabel *Label(QWidget *parent, const char *name, const QRect &geometry)
{
    QLabel *label = Layout::Label(parent, name, QString(), geometry); // folders and library texts come from outside
    label->setFont(Font(QStringLiteral("MS Sans Serif"), 9.6, true));
    return label;
}

QPointer<frmAbout> &Default()
{
    static QPointer<frmAbout> instance;
    return instance;
}

void Print_on_default_printer(const QImage &image)
{
    // No default printer, or a failed print: nothing is said.
    (void)Facility<Printers>::Get().Print(false, QString(), [&image](QPagedPaintDevice &printer) {
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        // The window's own size on paper, as on a 96 dpi screen; shrunk only if it does not fit.
        const int dpi = printer.logicalDpiX();
        const QRect page = printer.pageLayout().paintRectPixels(dpi);
        QSizeF size(image.width() * dpi / 96.0, image.height() * dpi / 96.0);
        if (size.width() > page.width() || size.height() > page.height())
            size.scale(page.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRectF(QPointF(0, 0), size), image);
        return painter.end();
    });
}

} // namespace

frmAbout *frmAbout::Default_instance()
{
    if (!Default())
        Default() = new frmAbout;
    return Default();
}

frmAbout *frmAbout::Existing_instance()
{
    return Default();
}

frmAbout::frmAbout() : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose); // the close box unloads; OK only hides
    // A fixed dialog with a close box only, and no task-bar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Light_face::Apply(this);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client_area"));
    client->setFixedSize(Twips(0, 0, 6900, 8100).size());
    setCentralWidget(client);

    Picture_product = new QLabel(client);
    Picture_product->setObjectName(QStringLiteral("Picture_product"));
    Picture_product->setGeometry(Twips(1680, 0, 4815, 1815));
    Picture_product->setAccessibleName(QStringLiteral("Velantra logo"));

    Lbldescription = Label(client, "Lbldescription", Twips(120, 2040, 5895, 375));
    Frame_version = Frame(client, "Frame_version", QStringLiteral("Version info"), Twips(120, 2520, 6495, 1455));
    Lblversion = Label(Frame_version, "Lblversion", Twips(120, 360, 5535, 375));
    Lbl_filedate = Label(Frame_version, "Lbl_filedate", Twips(120, 840, 5535, 375));
    Lbldisclaimer = Label(client, "Lbldisclaimer", Twips(120, 4080, 7335, 375));
    Frame_technical = Frame(client, "Frame_technical", QStringLiteral("Technical info"), Twips(120, 4680, 6495, 1815));
    Label_phidget_version = Label(Frame_technical, "Label_phidget_version", Twips(120, 1080, 4695, 255));

    Label_userapp = Label(client, "Label_userapp", Twips(120, 6600, 7935, 495));
    QPalette blue = Label_userapp->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label_userapp->setPalette(blue);
    Label_userapp->setToolTip(QStringLiteral("Click to open this folder!"));
    Label_userapp->setCursor(Qt::PointingHandCursor);
    Label_userapp->installEventFilter(this);

    Command_OK = new QPushButton(QStringLiteral("Ok"), client);
    Command_OK->setObjectName(QStringLiteral("Command_OK"));
    Command_OK->setGeometry(Twips(2880, 7320, 1935, 495));
    Command_OK->setFont(Font(QStringLiteral("MS Sans Serif"), 9.6, true));
    connect(Command_OK, &QPushButton::clicked, this, &frmAbout::Command_OK_Click);

    Menu_Form = menuBar()->addMenu(QStringLiteral("&Form"));
    Menu_Form->setObjectName(QStringLiteral("Menu_Form"));
    // The moment the menu opens stands for the click on its title.
    connect(Menu_Form, &QMenu::aboutToShow, this, &frmAbout::Menu_Form_Click);
    item_print = Menu_Form->addAction(QStringLiteral("&Print"));
    item_print->setObjectName(QStringLiteral("item_print"));
    connect(item_print, &QAction::triggered, this, &frmAbout::item_print_Click);
    menu_debug = menuBar()->addMenu(QStringLiteral("&Debug"));
    menu_debug->setObjectName(QStringLiteral("menu_debug"));
    item_date_formats = menu_debug->addAction(QStringLiteral("Date &formats"));
    item_date_formats->setObjectName(QStringLiteral("item_date_formats"));
    connect(item_date_formats, &QAction::triggered, this, &frmAbout::item_date_formats_Click);
    Open_menu_bar_on_F10(menuBar());
    Light_face::Apply(this); // again, for the menus now there

    // Fixed at its layout size from the start, so the logo is centred on the real width
    // even before the first show.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
}

void frmAbout::Ensure_loaded()
{
    if (loaded_)
        return;
    loaded_ = true;
    Forms::Register_Form(this);
    Form_Load();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + Globals::Program_name);
    Lblversion->clear();
    Lbl_filedate->clear();
    Label_phidget_version->clear();
    Lblversion->setText(QStringLiteral("Version %1.%2.%3, Compile date: ")
                            .arg(Globals::Version_major())
                            .arg(Globals::Version_minor())
                            .arg(Globals::Version_revision())
                        + Globals::Compile_date);
    Lbldisclaimer->setText(Rights_notice);
    Lbldescription->setText(Globals::Program_name);
    Lbl_filedate->setText(QStringLiteral(".exe Filedate = ") + FileDate());
    menu_debug->menuAction()->setVisible(false);
}

void frmAbout::Set_appdata(const QString &folder)
{
    Ensure_loaded();
    Label_userapp->setText(QStringLiteral("User appdata at: ") + QLatin1Char('\n') + folder);
}

void frmAbout::Display_Phidgets()
{
    Ensure_loaded();
    const std::optional<QString> version = Facility<Vendor_library>::Get().Library_version();
    Label_phidget_version->setText(version ? *version : QStringLiteral("No Phidget driver found"));
}

void frmAbout::Load_Product_Picture(const QString &resource_name)
{
    const QPixmap picture(QStringLiteral(":/bitmaps/") + resource_name);
    if (picture.isNull())
        throw Numbered_failure(QStringLiteral("Resource with identifier '%1' not found").arg(resource_name), 326);
    Load_Product_Picture(picture);
}

void frmAbout::Load_Product_Picture(const QPixmap &picture)
{
    Ensure_loaded();
    Picture_product->setPixmap(picture);
    Picture_product->resize(picture.size());
    Centre_product_picture();
    Picture_product->update();
}

void frmAbout::Centre_product_picture()
{
    // Centred on the window's outer width; the box stays at the top edge.
    Picture_product->move((frameGeometry().width() - Picture_product->width()) / 2, 0);
}

bool frmAbout::event(QEvent *event)
{
    // The frame is known only once the window is on screen: centre again then.
    if (event->type() == QEvent::Show || event->type() == QEvent::Move)
        Centre_product_picture();
    return QMainWindow::event(event);
}

void frmAbout::Set_Position(float left_twips, float top_twips)
{
    Ensure_loaded();
    move(Px(left_twips), Px(top_twips));
}

void frmAbout::Command_OK_Click()
{
    hide();
}

void frmAbout::Label_userapp_Click()
{
    // The folder is what follows the line break of the caption.
    const QString text = Label_userapp->text();
    const qsizetype line_break = text.indexOf(QLatin1Char('\n'));
    const QString folder = line_break < 0 ? QString() : text.mid(line_break + 1);
    if (folder.isEmpty())
        return; // no folder handed over: nothing to open
    Platform::Open_Url(QUrl::fromLocalFile(folder));
}

void frmAbout::Menu_Form_Click()
{
    // Let a Ctrl press that is still queued count.
    QCoreApplication::processEvents();
    menu_debug->menuAction()->setVisible(Ctrl_Key_Down());
}

void frmAbout::item_print_Click()
{
    Print_on_default_printer(centralWidget()->grab().toImage());
}

void frmAbout::item_date_formats_Click()
{
    Show_Message(Date_formats_text(QDateTime::currentDateTime(), QLocale::system()));
}

QString frmAbout::Date_formats_text(const QDateTime &now, const QLocale &locale)
{
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QString time = Long_time_text(now.time(), locale);
    const QString end = QStringLiteral("\n");
    return QStringLiteral("date = ") + date + end + QStringLiteral("time = ") + time + end
           + QStringLiteral("now = ") + date + QLatin1Char(' ') + time + end + QStringLiteral("ISODate = ")
           + Date_Stamp(now.date()) + end + QStringLiteral("ISOnow = ") + Date_Time_Stamp(now) + end;
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label_userapp && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        Label_userapp_Click();
    return QMainWindow::eventFilter(watched, event);
}
