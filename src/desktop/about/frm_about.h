#pragma once
// The About window: the build, the Phidget library found, the data folder, a
// Print command and a hidden date-format check.

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QMainWindow>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

class frmAbout : public QMainWindow
{
    Q_OBJECT
public:
    // The program's one About window, created on first use; created is not yet loaded.
    static frmAbout *Default_instance();
    static frmAbout *Existing_instance(); // null when there is none

    // The program's description: kept, shown nowhere.
    void Set_Description(const QString &text) { Description_ = text; }
    // "User appdata at: ", a line break and the folder.
    void Set_appdata(const QString &folder);
    void Display_Phidgets();
    // Throws a Numbered_failure (326) when there is no such bitmap.
    void Load_Product_Picture(const QString &resource_name);
    void Load_Product_Picture(const QPixmap &picture);
    void Set_Position(float left_twips, float top_twips);

    // The five lines of the date-format box.
    static QString Date_formats_text(const QDateTime &now, const QLocale &locale);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    frmAbout();
    void Ensure_loaded();
    void Form_Load();
    void Centre_product_picture();

    // The controls' handlers.
    void Command_OK_Click();
    void Label_userapp_Click();
    void Menu_Form_Click();
    void item_print_Click();
    void item_date_formats_Click();

    // The controls, by their names (each one's objectName).
    QLabel *Picture_product = nullptr;
    QLabel *Lbldescription = nullptr;
    QGroupBox *Frame_version = nullptr;
    QLabel *Lblversion = nullptr;
    QLabel *Lbl_filedate = nullptr;
    QLabel *Lbldisclaimer = nullptr;
    QGroupBox *Frame_technical = nullptr;
    QLabel *Label_phidget_version = nullptr;
    QLabel *Label_userapp = nullptr;
    QPushButton *Command_OK = nullptr;
    QMenu *Menu_Form = nullptr;
    QAction *item_print = nullptr;
    QMenu *menu_debug = nullptr;
    QAction *item_date_formats = nullptr;

    QString Description_;
    bool loaded_ = false;
};
