#include "sync/VTodo.h"

#include <libical/ical.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr char productId[] = "-//Lorvane//Lorvane//ES";

// The one to-do the resource is about: the VTODO without a RECURRENCE-ID (the others are
// changes to single occurrences of a repeating one), or the first VTODO.
icalcomponent *masterTodo(icalcomponent *calendar)
{
    icalcomponent *first = nullptr;
    for (icalcomponent *todo = icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT);
         todo; todo = icalcomponent_get_next_component(calendar, ICAL_VTODO_COMPONENT)) {
        if (!first)
            first = todo;
        if (!icalcomponent_get_first_property(todo, ICAL_RECURRENCEID_PROPERTY))
            return todo;
    }
    return first;
}

// Collected before any is removed: removing a property moves libical's own iterator.
std::vector<icalproperty *> properties(icalcomponent *component, icalproperty_kind kind)
{
    std::vector<icalproperty *> result;
    for (icalproperty *property = icalcomponent_get_first_property(component, kind); property;
         property = icalcomponent_get_next_property(component, kind))
        result.push_back(property);
    return result;
}

void removeProperty(icalcomponent *component, icalproperty *property)
{
    icalcomponent_remove_property(component, property);
    icalproperty_free(property);
}

void removeAll(icalcomponent *component, icalproperty_kind kind)
{
    for (icalproperty *property : properties(component, kind))
        removeProperty(component, property);
}

icaltimetype toIcalTime(const QDateTime &time)
{
    return icaltime_from_timet_with_zone(time.toSecsSinceEpoch(), 0,
                                         icaltimezone_get_utc_timezone());
}

QDateTime fromIcalTime(const icaltimetype &time)
{
    if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time))
        return {};
    // A time without a zone is taken as UTC: LAST-MODIFIED must be UTC anyway.
    const icaltimezone *zone = time.zone ? time.zone : icaltimezone_get_utc_timezone();
    return QDateTime::fromSecsSinceEpoch(qint64(icaltime_as_timet_with_zone(time, zone)), Qt::UTC);
}

// Sets the first property of `kind` with `set`, or adds the one `make` gives.
template <typename Set, typename Make>
void setOrAdd(icalcomponent *component, icalproperty_kind kind, Set set, Make make)
{
    if (icalproperty *property = icalcomponent_get_first_property(component, kind))
        set(property);
    else
        icalcomponent_add_property(component, make());
}

void setTime(icalcomponent *component, icalproperty_kind kind, const QDateTime &time)
{
    const icaltimetype value = toIcalTime(time);
    setOrAdd(
        component, kind,
        [&](icalproperty *property) {
            // A TZID beside a UTC time would contradict it.
            icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
            icalproperty_set_value(property, icalvalue_new_datetime(value));
        },
        [&] {
            icalproperty *property = icalproperty_new(kind);
            icalproperty_set_value(property, icalvalue_new_datetime(value));
            return property;
        });
}

icalproperty_status toIcalStatus(VTodo::Status status)
{
    switch (status) {
    case VTodo::Status::NeedsAction:
        return ICAL_STATUS_NEEDSACTION;
    case VTodo::Status::InProcess:
        return ICAL_STATUS_INPROCESS;
    case VTodo::Status::Completed:
        return ICAL_STATUS_COMPLETED;
    case VTodo::Status::Cancelled:
        return ICAL_STATUS_CANCELLED;
    case VTodo::Status::None:
    case VTodo::Status::Other:
        break;
    }
    return ICAL_STATUS_NONE;
}

QString fromUtf8(const char *text)
{
    return text ? VTodo::writableText(QString::fromUtf8(text)) : QString();
}

bool refuse(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

std::optional<VTodo> VTodo::parse(QByteArrayView ics, QString *error)
{
    if (ics.size() > maxSize) {
        refuse(error, QStringLiteral("over %1 bytes").arg(maxSize));
        return std::nullopt;
    }
    // libical reads up to the first NUL and would take the rest for the whole resource.
    if (ics.contains('\0')) {
        refuse(error, QStringLiteral("a NUL byte in the text"));
        return std::nullopt;
    }
    icalerror_set_errors_are_fatal(0);
    std::optional<VTodo> read = readCalendar(ics.toByteArray(), error);
    if (!read)
        return std::nullopt;
    // What is kept is the resource as libical writes it, read again: text it only half
    // understood (a bare CR in a line, an END of the wrong name) it writes otherwise than it
    // read, and a resource that changes each time it is written cannot be kept in step.
    std::optional<VTodo> again = readCalendar(read->serialize(), error);
    if (again && again->uid() == read->uid() && again->summary() == read->summary() &&
        again->categories() == read->categories())
        return again;
    refuse(error, QStringLiteral("libical does not read its own text of it back"));
    return std::nullopt;
}

std::optional<VTodo> VTodo::readCalendar(const QByteArray &text, QString *error)
{
    icalcomponent *root = icalparser_parse_string(text.constData());
    if (!root) {
        refuse(error, QStringLiteral("not iCalendar text"));
        return std::nullopt;
    }
    VTodo result(root); // owns `root` from here on
    if (icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT) {
        refuse(error, QStringLiteral("not one VCALENDAR"));
        return std::nullopt;
    }
    if (icalcomponent_count_errors(root) > 0) {
        refuse(error, QStringLiteral("a line libical cannot read"));
        return std::nullopt;
    }
    icalcomponent *todo = masterTodo(root);
    if (!todo) {
        refuse(error, QStringLiteral("no VTODO"));
        return std::nullopt;
    }
    const char *uid = icalcomponent_get_uid(todo);
    if (!uid || !*uid) {
        refuse(error, QStringLiteral("a VTODO without a UID"));
        return std::nullopt;
    }
    return result;
}

QString VTodo::writableText(const QString &text)
{
    QString result = text;
    result.removeIf([](QChar c) { return c == u'\b' || c == u'\f' || c == u'\r'; });
    return result;
}

VTodo VTodo::create(const QString &uid, const QDateTime &now)
{
    icalcomponent *calendar = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(calendar, icalproperty_new_prodid(productId));
    icalcomponent_add_property(calendar, icalproperty_new_version("2.0"));
    icalcomponent *todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
    icalcomponent_add_property(todo, icalproperty_new_uid(uid.toUtf8().constData()));
    icalcomponent_add_property(todo, icalproperty_new_dtstamp(toIcalTime(now)));
    icalcomponent_add_property(todo, icalproperty_new_created(toIcalTime(now)));
    icalcomponent_add_property(todo, icalproperty_new_lastmodified(toIcalTime(now)));
    icalcomponent_add_property(todo, icalproperty_new_sequence(0));
    icalcomponent_add_component(calendar, todo);
    return VTodo(calendar);
}

VTodo::VTodo(icalcomponent *calendar) : m_calendar(calendar) {}

// A copy read from the text of the original, not icalcomponent_new_clone(): libical's clone
// loses the value of a property of a kind with named values (STATUS, CLASS) when the value is
// not one of the names, and the copy would go to the server without it.
VTodo::VTodo(const VTodo &other) : m_calendar(icalparser_parse_string(other.serialize()))
{
    if (!m_calendar)
        m_calendar = icalcomponent_new_clone(other.m_calendar);
}

VTodo::VTodo(VTodo &&other) noexcept : m_calendar(std::exchange(other.m_calendar, nullptr)) {}

VTodo &VTodo::operator=(const VTodo &other)
{
    if (this != &other)
        *this = VTodo(other);
    return *this;
}

VTodo &VTodo::operator=(VTodo &&other) noexcept
{
    std::swap(m_calendar, other.m_calendar);
    return *this;
}

VTodo::~VTodo()
{
    if (m_calendar)
        icalcomponent_free(m_calendar);
}

icalcomponent *VTodo::todo() const
{
    return masterTodo(m_calendar);
}

QString VTodo::uid() const
{
    return fromUtf8(icalcomponent_get_uid(todo()));
}

QString VTodo::summary() const
{
    const icalproperty *property = icalcomponent_get_first_property(todo(), ICAL_SUMMARY_PROPERTY);
    return property ? fromUtf8(icalproperty_get_summary(property)) : QString();
}

QStringList VTodo::categories() const
{
    // libical gives each property's values unescaped and joined by commas.
    QStringList result;
    for (const icalproperty *property : properties(todo(), ICAL_CATEGORIES_PROPERTY))
        result += fromUtf8(icalproperty_get_categories(property)).split(u',');
    return result;
}

VTodo::Status VTodo::status() const
{
    const icalproperty *property = icalcomponent_get_first_property(todo(), ICAL_STATUS_PROPERTY);
    if (!property)
        return Status::None;
    switch (icalproperty_get_status(property)) {
    case ICAL_STATUS_NONE:
        return Status::None;
    case ICAL_STATUS_NEEDSACTION:
        return Status::NeedsAction;
    case ICAL_STATUS_INPROCESS:
        return Status::InProcess;
    case ICAL_STATUS_COMPLETED:
        return Status::Completed;
    case ICAL_STATUS_CANCELLED:
        return Status::Cancelled;
    default:
        return Status::Other;
    }
}

int VTodo::priority() const
{
    const icalproperty *property = icalcomponent_get_first_property(todo(), ICAL_PRIORITY_PROPERTY);
    return property ? icalproperty_get_priority(property) : 0;
}

QDateTime VTodo::lastModified() const
{
    const icalproperty *property =
        icalcomponent_get_first_property(todo(), ICAL_LASTMODIFIED_PROPERTY);
    return property ? fromIcalTime(icalproperty_get_lastmodified(property)) : QDateTime();
}

int VTodo::sequence() const
{
    const icalproperty *property = icalcomponent_get_first_property(todo(), ICAL_SEQUENCE_PROPERTY);
    return property ? icalproperty_get_sequence(property) : 0;
}

bool VTodo::setSummary(const QString &text)
{
    const QString summary = writableText(text);
    icalcomponent *component = todo();
    icalproperty *property = icalcomponent_get_first_property(component, ICAL_SUMMARY_PROPERTY);
    if (summary.isEmpty()) {
        if (!property)
            return false;
        removeProperty(component, property);
        return true;
    }
    if (property && this->summary() == summary)
        return false;
    const QByteArray utf8 = summary.toUtf8();
    if (property)
        icalproperty_set_summary(property, utf8.constData());
    else
        icalcomponent_add_property(component, icalproperty_new_summary(utf8.constData()));
    return true;
}

bool VTodo::setCategories(const QStringList &values)
{
    QStringList categories;
    for (const QString &value : values) {
        const QString category = writableText(value);
        if (!category.trimmed().isEmpty())
            categories.append(category);
    }
    if (this->categories() == categories)
        return false;
    // One property a value, as libical itself reads a list; the properties there are take the
    // values in order, keeping their parameters.
    icalcomponent *component = todo();
    const std::vector<icalproperty *> existing = properties(component, ICAL_CATEGORIES_PROPERTY);
    for (qsizetype i = 0; i < categories.size(); ++i) {
        const QByteArray utf8 = categories.at(i).toUtf8();
        if (std::size_t(i) >= existing.size())
            icalcomponent_add_property(component, icalproperty_new_categories(utf8.constData()));
        else if (fromUtf8(icalproperty_get_categories(existing[i])) != categories.at(i))
            icalproperty_set_categories(existing[i], utf8.constData());
    }
    for (std::size_t i = categories.size(); i < existing.size(); ++i)
        removeProperty(component, existing[i]);
    return true;
}

bool VTodo::setStatus(Status status, const QDateTime &now)
{
    if (status == Status::Other || this->status() == status)
        return false;
    icalcomponent *component = todo();
    if (status == Status::None) {
        removeAll(component, ICAL_STATUS_PROPERTY);
    } else {
        const icalproperty_status value = toIcalStatus(status);
        setOrAdd(
            component, ICAL_STATUS_PROPERTY,
            [&](icalproperty *property) { icalproperty_set_status(property, value); },
            [&] { return icalproperty_new_status(value); });
    }
    if (status == Status::Completed) {
        setTime(component, ICAL_COMPLETED_PROPERTY, now);
        setOrAdd(
            component, ICAL_PERCENTCOMPLETE_PROPERTY,
            [](icalproperty *property) { icalproperty_set_percentcomplete(property, 100); },
            [] { return icalproperty_new_percentcomplete(100); });
    } else if (status == Status::NeedsAction) {
        removeAll(component, ICAL_COMPLETED_PROPERTY);
        for (icalproperty *property : properties(component, ICAL_PERCENTCOMPLETE_PROPERTY))
            icalproperty_set_percentcomplete(property, 0);
    }
    return true;
}

bool VTodo::setPriority(int priority)
{
    priority = std::clamp(priority, 0, 9);
    icalcomponent *component = todo();
    icalproperty *property = icalcomponent_get_first_property(component, ICAL_PRIORITY_PROPERTY);
    if (priority == 0) {
        if (!property)
            return false;
        removeAll(component, ICAL_PRIORITY_PROPERTY);
        return true;
    }
    if (property && icalproperty_get_priority(property) == priority)
        return false;
    if (property)
        icalproperty_set_priority(property, priority);
    else
        icalcomponent_add_property(component, icalproperty_new_priority(priority));
    return true;
}

void VTodo::markRevised(const QDateTime &now)
{
    icalcomponent *component = todo();
    setTime(component, ICAL_LASTMODIFIED_PROPERTY, now);
    setTime(component, ICAL_DTSTAMP_PROPERTY, now);
    // Saturating: a server's SEQUENCE may already be the largest an int holds.
    const int current = sequence();
    const int next = current < std::numeric_limits<int>::max() ? current + 1 : current;
    setOrAdd(
        component, ICAL_SEQUENCE_PROPERTY,
        [&](icalproperty *property) { icalproperty_set_sequence(property, next); },
        [&] { return icalproperty_new_sequence(next); });
}

QByteArray VTodo::serialize() const
{
    char *text = icalcomponent_as_ical_string_r(m_calendar);
    QByteArray result(text);
    icalmemory_free_buffer(text);
    return result;
}
