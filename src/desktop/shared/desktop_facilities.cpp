#include "desktop/shared/desktop_facilities.h"

#include "desktop/shared/print_job.h"
#include "desktop/shared/printers.h"
#include "core/shared/desktop_notifications.h"
#include "core/shared/facility.h"
#include "core/shared/keyboard.h"
#include "core/shared/message_box.h"
#include "core/shared/platform.h"
#include "core/shared/screen_saver.h"
#include "core/shared/sound_output.h"

#include "desktop/platform/desktop_system.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

namespace {

class Message_box_dialogs final : public Message_boxes
{
public:
    void Show(const Shown_message &message) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.setText(message.text);
        box.setWindowTitle(message.title.isEmpty() ? QApplication::applicationDisplayName() : message.title);
        switch (message.icon) {
        case Message_icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Message_icon::Information: box.setIcon(QMessageBox::Information); break;
        case Message_icon::Warning: box.setIcon(QMessageBox::Warning); break;
        case Message_icon::Critical: box.setIcon(QMessageBox::Critical); break;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
    }
};

class Application_beep final : public System_beep
{
public:
    void Beep() override { QApplication::beep(); }
};

class Desktop_url_handler final : public Url_handler
{
public:
    bool Open(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};

class Window_system_keyboard final : public Keyboard
{
public:
    // The keys held now, not the state of the last event.
    bool Ctrl_down() override { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier); }
    void Press_shift() override { Desktop_system::Press_shift(); }
    bool Key_down(unsigned int native_scan_code) override { return Desktop_system::Key_down(native_scan_code); }
    bool Key_map_known() override { return Desktop_system::Key_map_known(); }
};

class System_printers final : public Printers
{
public:
    int Count() override { return Print_job::Printer_count(); }

    bool Print(bool first_if_no_default, const QString &document_name,
               const std::function<bool(QPagedPaintDevice &)> &draw) override
    {
        return Print_job::Print(first_if_no_default, document_name, draw);
    }
};

} // namespace

struct Desktop_facilities::Installed
{
    Message_box_dialogs message_boxes;
    Application_beep beep;
    Desktop_url_handler urls;
    Window_system_keyboard keyboard;
    std::unique_ptr<Sound_output> sound = Desktop_system::Make_sound_output();
    System_printers printers;
    std::unique_ptr<Screen_saver> screen_saver = Desktop_system::Make_screen_saver();
    std::unique_ptr<Desktop_notifications> notifications = Desktop_system::Make_notifications();
    Scoped_facility<Desktop_notifications> use_notifications{*notifications};

    Scoped_facility<Message_boxes> use_message_boxes{message_boxes};
    Scoped_facility<System_beep> use_beep{beep};
    Scoped_facility<Url_handler> use_urls{urls};
    Scoped_facility<Keyboard> use_keyboard{keyboard};
    Scoped_facility<Sound_output> use_sound{*sound};
    Scoped_facility<Printers> use_printers{printers};
    Scoped_facility<Screen_saver> use_screen_saver{*screen_saver};
};

Desktop_facilities::Desktop_facilities() : installed_(std::make_unique<Installed>()) {}

Desktop_facilities::~Desktop_facilities() = default;
