#include "desktop/shared/value_label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QStringList>

namespace {

const char *const Words_property = "accessible_words";

class Value_label_interface final : public QAccessibleWidget
{
public:
    explicit Value_label_interface(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const QLabel *>(widget());
        if (t == QAccessible::Name) {
            const QString words = label->property(Words_property).toString();
            const QString shown = label->text().simplified();
            return shown.isEmpty() ? words : words + QStringLiteral(": ") + shown;
        }
        if (t == QAccessible::Description) {
            QStringList said;
            for (const QString &text : {label->accessibleDescription(), label->toolTip()})
                if (!text.isEmpty())
                    said << text;
            return said.join(QLatin1Char('\n'));
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *Make_interface(const QString &, QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    if (label && label->property(Words_property).isValid())
        return new Value_label_interface(label);
    return nullptr;
}

} // namespace

namespace Value_label {

void Name(QLabel *label, const QString &words)
{
    // Asked before Qt's own (the last installed first); once per process.
    static const bool installed = [] {
        QAccessible::installFactory(&Make_interface);
        return true;
    }();
    (void)installed;
    label->setProperty(Words_property, words);
    // Setting the text may have made Qt's reader for the label already: it goes, so the
    // next question makes this one.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(label))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace Value_label
