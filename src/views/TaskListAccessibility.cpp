#include "views/TaskListAccessibility.h"

#include "model/TaskItem.h"
#include "toolkit/AnimatedColumn.h"
#include "views/TaskRow.h"

#include <QAccessibleWidget>
#include <QCoreApplication>

namespace {

const QString editAction = QStringLiteral("Edit");
const QString priorityAction = QStringLiteral("TogglePriority");
const QString deleteAction = QStringLiteral("Delete");

// The rows, in the order the column lays them out (not the order they were made in).
class TaskListAccessible : public QAccessibleWidget
{
public:
    explicit TaskListAccessible(AnimatedColumn *column)
        : QAccessibleWidget(column, QAccessible::List)
    {
    }

    int childCount() const override { return int(items().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> &rows = items();
        return index >= 0 && index < rows.size()
                   ? QAccessible::queryAccessibleInterface(rows[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const QList<QWidget *> &rows = items();
        for (qsizetype i = 0; child && i < rows.size(); ++i) {
            if (rows[i] == child->object())
                return int(i);
        }
        return -1;
    }

private:
    const QList<QWidget *> &items() const
    {
        return static_cast<AnimatedColumn *>(widget())->items();
    }
};

class TaskRowAccessible : public QAccessibleWidget
{
    Q_DECLARE_TR_FUNCTIONS(TaskRow)

public:
    explicit TaskRowAccessible(TaskRow *row) : QAccessibleWidget(row, QAccessible::ListItem) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return TaskListAccessibility::describe(row()->task());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        // The list, not a click or Tab, gives a row the focus.
        QAccessible::State state = QAccessibleWidget::state();
        state.focusable = true;
        return state;
    }

    QStringList actionNames() const override
    {
        return {toggleAction(), editAction, priorityAction, deleteAction, setFocusAction()};
    }
    QString localizedActionName(const QString &name) const override
    {
        const TaskItem &task = row()->task();
        if (name == toggleAction())
            return task.isDone ? tr("Marcar como pendiente") : tr("Marcar como hecha");
        if (name == editAction)
            return tr("Editar");
        if (name == priorityAction)
            return task.isPriority ? tr("Quitar prioridad") : tr("Marcar como prioritaria");
        if (name == deleteAction)
            return tr("Eliminar");
        return QAccessibleWidget::localizedActionName(name);
    }
    QString localizedActionDescription(const QString &name) const override
    {
        return localizedActionName(name);
    }
    void doAction(const QString &name) override
    {
        if (name == toggleAction())
            row()->toggleDone();
        else if (name == editAction)
            row()->startEditing();
        else if (name == priorityAction)
            row()->togglePriority();
        else if (name == deleteAction)
            row()->requestDelete();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    TaskRow *row() const { return static_cast<TaskRow *>(widget()); }
};

QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("TaskRow"))
        return new TaskRowAccessible(static_cast<TaskRow *>(object));
    if (className == QLatin1String("AnimatedColumn") &&
        object->objectName() == TaskListAccessibility::listName)
        return new TaskListAccessible(static_cast<AnimatedColumn *>(object));
    return nullptr;
}

} // namespace

namespace TaskListAccessibility {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
}

QString describe(const TaskItem &task)
{
    QStringList parts{task.displayText()};
    if (task.isDone)
        parts.append(QCoreApplication::translate("TaskRow", "hecha"));
    if (task.isPriority)
        parts.append(QCoreApplication::translate("TaskRow", "prioritaria"));
    parts.append(task.tags);
    parts.removeAll(QString()); // a task of tags only shows no text
    return parts.join(QStringLiteral(", "));
}

} // namespace TaskListAccessibility
