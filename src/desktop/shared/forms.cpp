#include "desktop/shared/forms.h"

#include <QPointer>

namespace Forms {
namespace {
QList<QPointer<QWidget>> &list()
{
    static QList<QPointer<QWidget>> forms;
    return forms;
}

void Prune()
{
    list().removeIf([](const QPointer<QWidget> &p) { return p.isNull(); });
}
} // namespace

void Register_Form(QWidget *form)
{
    if (!form || Is_Loaded(form))
        return;
    list().append(form);
}

QList<QWidget *> Loaded_Forms()
{
    Prune();
    QList<QWidget *> out;
    for (const QPointer<QWidget> &p : std::as_const(list()))
        out.append(p.data());
    return out;
}

bool Is_Loaded(const QWidget *form)
{
    Prune();
    for (const QPointer<QWidget> &p : std::as_const(list()))
        if (p.data() == form)
            return true;
    return false;
}

bool Unload_Form(QWidget *form)
{
    if (!form)
        return true;
    if (!form->close())
        return false;
    list().removeIf([form](const QPointer<QWidget> &p) { return p.data() == form; });
    form->deleteLater();
    return true;
}

} // namespace Forms

void Unload_All_Forms()
{
    qsizetype n = Forms::Loaded_Forms().size();
    while (n >= 1) {
        QWidget *last = Forms::Loaded_Forms().at(n - 1);
        Forms::Unload_Form(last);
        if (Forms::Loaded_Forms().size() == n)
            return; // that window refused to close
        n = Forms::Loaded_Forms().size();
    }
}
