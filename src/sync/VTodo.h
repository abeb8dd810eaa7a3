#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

struct icalcomponent_impl;

// One to-do as a CalDAV server stores it: a VCALENDAR holding the VTODO and whatever else
// the resource carries (time zones, recurrence overrides), as libical reads it. Only the
// fields the task list knows are read and changed here, each edited in place, so every other
// property, parameter and component goes back to the server as it came.
class VTodo
{
public:
    // Bigger resources are refused unread: no to-do of this list comes near it.
    static constexpr qsizetype maxSize = 1024 * 1024;

    enum class Status { None, NeedsAction, InProcess, Completed, Cancelled, Other };

    // The resource `ics` holds. Refused, with the reason in `error`, when libical cannot read
    // it, it is not one VCALENDAR with a VTODO that has a UID, a line could not be read
    // (libical would drop it, and writing back would lose it), libical's own text of it does
    // not read back alike, or it is over maxSize.
    static std::optional<VTodo> parse(QByteArrayView ics, QString *error = nullptr);

    // `text` as a text property holds it once written: libical drops backspace, form feed
    // and carriage return when it writes one. The getters and setters of text give and take
    // this form, so that what is read is what a write and a read again give.
    static QString writableText(const QString &text);

    // A new resource for a task made here: PRODID, VERSION, UID, DTSTAMP, CREATED,
    // LAST-MODIFIED and SEQUENCE 0; the caller sets the fields.
    static VTodo create(const QString &uid, const QDateTime &now);

    // A moved-from VTodo may only be assigned to or destroyed.
    VTodo(const VTodo &other);
    VTodo(VTodo &&other) noexcept;
    VTodo &operator=(const VTodo &other);
    VTodo &operator=(VTodo &&other) noexcept;
    ~VTodo();

    QString uid() const;
    QString summary() const;
    // The values of every CATEGORIES property in order, each property's list split at its
    // commas; empty values included.
    QStringList categories() const;
    Status status() const;
    // 0 when there is none (which is also what 0 means).
    int priority() const;
    // UTC; invalid when there is none.
    QDateTime lastModified() const;
    int sequence() const;

    // Each changes only its property and returns whether it changed anything; the stamps of
    // a revision are markRevised()'s job, once for all the changes of one write.
    bool setSummary(const QString &summary);
    // One CATEGORIES property a value, those there taking the values in order with their
    // parameters. Values of nothing but spaces are left out: libical cannot write an empty
    // one so that it reads back.
    bool setCategories(const QStringList &categories);
    // COMPLETED also sets the time of completion to `now` and PERCENT-COMPLETE to 100;
    // NEEDS-ACTION takes the time of completion away and a percentage back to 0.
    bool setStatus(Status status, const QDateTime &now);
    // 0 removes the property.
    bool setPriority(int priority);

    // LAST-MODIFIED and DTSTAMP become `now`, SEQUENCE goes up by one (1 when absent).
    void markRevised(const QDateTime &now);

    // The whole resource as iCalendar text (CRLF line ends, long lines folded).
    QByteArray serialize() const;

private:
    explicit VTodo(icalcomponent_impl *calendar);
    static std::optional<VTodo> readCalendar(const QByteArray &text, QString *error);

    icalcomponent_impl *todo() const;

    icalcomponent_impl *m_calendar = nullptr;
};
