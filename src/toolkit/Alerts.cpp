#include "toolkit/Alerts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QSet>
#include <QWidget>

namespace {

QSet<QString> &alertClasses()
{
    static QSet<QString> classes;
    return classes;
}

QAccessibleInterface *alertFor(const QString &className, QObject *object)
{
    if (alertClasses().contains(className))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::AlertMessage);
    return nullptr;
}

} // namespace

namespace Alerts {

void exposeAsAlert(const char *className)
{
    if (alertClasses().isEmpty())
        QAccessible::installFactory(alertFor);
    alertClasses().insert(QString::fromLatin1(className));
}

void announce(QWidget *alert)
{
    QAccessibleEvent shown(alert, QAccessible::Alert);
    QAccessible::updateAccessibility(&shown);
}

} // namespace Alerts
