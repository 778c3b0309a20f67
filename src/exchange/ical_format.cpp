// iCalendar (RFC 5545) through libical: one VTODO per task. libical parses and writes the text
// (folding, escapes, time zones); a scan of our own before it finds the line of every component
// and property, so that an error can name the line, and checks the structure and the date values
// libical would pass over.

#include "exchange/exchange_formats.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/details_text.h"

#include <QTimeZone>
#include <algorithm>
#include <ical.h>
#include <memory>

namespace {

// --- the scan ---------------------------------------------------------------------------------

// One content line, unfolded, with the line it starts on. Most are a stretch of the source's
// text; a folded one is put together.
struct ContentLine {
    int line = 0;
    QStringView text;
    QString unfolded;
};

// A component directly inside a VCALENDAR: its kind, and its content lines [first, end).
struct ScannedItem {
    QString kind;
    int line = 0;
    size_t first = 0;
    size_t end = 0;
};

struct Scan {
    std::vector<ContentLine> lines;
    std::vector<ScannedItem> items;
};

// The content lines of the text, unfolded.
std::vector<ContentLine> contentLines(const QString& text, const QString& source)
{
    std::vector<ContentLine> lines;
    lines.reserve(text.size() / 32);
    int number = 0;
    qsizetype start = 0;
    const QStringView all(text);
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        ++number;
        QStringView line = all.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        start = end + 1;
        if (line.contains(QChar(0)))
            throw SourceError(source, number, QStringLiteral("a NUL character"));
        if (line.isEmpty())
            continue;
        if (line.front() == u' ' || line.front() == u'\t') {
            if (lines.empty())
                throw SourceError(source, number,
                                  QStringLiteral("a continued line with nothing to continue"));
            ContentLine& previous = lines.back();
            if (previous.unfolded.isEmpty())
                previous.unfolded = previous.text.toString();
            previous.unfolded += line.mid(1);
            previous.text = previous.unfolded;
        } else {
            lines.push_back({number, line, {}});
        }
    }
    return lines;
}

// Splits "NAME;PARAMS:VALUE" (a colon inside a quoted parameter value does not count).
bool splitLine(QStringView line, QStringView& name, QStringView& value)
{
    bool quoted = false;
    qsizetype nameEnd = -1;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u';' && nameEnd < 0)
            nameEnd = i;
        else if (!quoted && c == u':') {
            name = line.left(nameEnd < 0 ? i : nameEnd);
            value = line.mid(i + 1);
            return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](QChar n) {
                return (n >= u'A' && n <= u'Z') || (n >= u'a' && n <= u'z') ||
                       (n >= u'0' && n <= u'9') || n == u'-';
            });
        }
    }
    return false;
}

bool is(QStringView name, const char* word)
{
    return name.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isCheckedDate(QStringView name)
{
    for (const char* n : {"DUE", "DTSTART", "CREATED", "DTSTAMP", "COMPLETED", "LAST-MODIFIED"})
        if (is(name, n))
            return true;
    return false;
}

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// YYYYMMDD, YYYYMMDDTHHMMSS or YYYYMMDDTHHMMSSZ.
bool isDateValue(QStringView v)
{
    if (v.size() == 8)
        return allDigits(v);
    if (v.size() != 15 && !(v.size() == 16 && v.back() == u'Z'))
        return false;
    return allDigits(v.left(8)) && v[8] == u'T' && allDigits(v.mid(9, 6));
}

Scan scan(const QString& text, const QString& source)
{
    Scan result;
    result.lines = contentLines(text, source);
    const std::vector<ContentLine>& lines = result.lines;
    if (lines.empty())
        throw SourceError(source, 1, QStringLiteral("no iCalendar data"));
    std::vector<ScannedItem>& items = result.items;
    std::vector<std::pair<QString, int>> open; // the components begun and not yet ended
    for (size_t i = 0; i < lines.size(); ++i) {
        const ContentLine& l = lines[i];
        QStringView name, value;
        if (!splitLine(l.text, name, value))
            throw SourceError(
                source, l.line,
                QStringLiteral("not an iCalendar line (NAME:VALUE): %1").arg(l.text.left(60)));
        if (is(name, "BEGIN")) {
            const QString kind = value.trimmed().toString().toUpper();
            if (open.empty() && kind != QLatin1String("VCALENDAR"))
                throw SourceError(
                    source, l.line,
                    QStringLiteral("not an iCalendar file: BEGIN:VCALENDAR expected"));
            if (open.size() == 1)
                items.push_back({kind, l.line, i + 1, i + 1});
            open.emplace_back(kind, l.line);
            continue;
        }
        if (is(name, "END")) {
            const QString kind = value.trimmed().toString().toUpper();
            if (open.empty() || open.back().first != kind)
                throw SourceError(source, l.line,
                                  open.empty()
                                      ? QStringLiteral("END:%1 without its BEGIN").arg(kind)
                                      : QStringLiteral("END:%1 where %2 (begun on line %3) ends")
                                            .arg(kind, open.back().first)
                                            .arg(open.back().second));
            if (open.size() == 2)
                items.back().end = i;
            open.pop_back();
            continue;
        }
        if (open.empty())
            throw SourceError(source, l.line,
                              QStringLiteral("%1 outside BEGIN:VCALENDAR and END:VCALENDAR")
                                  .arg(name.toString().toUpper()));
        if (open.size() != 2 || items.back().kind != QLatin1String("VTODO"))
            continue;
        if (isCheckedDate(name) && !isDateValue(value.trimmed()))
            throw SourceError(source, l.line,
                              QStringLiteral("%1 is not a date or date-time: %2")
                                  .arg(name.toString().toUpper(), value.left(40)));
        if (is(name, "PRIORITY")) {
            bool ok = false;
            const int priority = value.trimmed().toInt(&ok);
            if (!ok || priority < 0 || priority > 9)
                throw SourceError(
                    source, l.line,
                    QStringLiteral("PRIORITY must be 0 to 9, not %1").arg(value.left(20)));
        }
    }
    if (!open.empty())
        throw SourceError(source, lines.back().line,
                          QStringLiteral("the file ends inside %1 (begun on line %2)")
                              .arg(open.back().first)
                              .arg(open.back().second));
    return result;
}

// --- libical ----------------------------------------------------------------------------------

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// A property's time as a stored (local) date-time; nothing for an absent one. `valid` turns false
// for a date no calendar has.
std::optional<double> storedTime(icaltimetype t, icalproperty* property, bool& valid)
{
    if (icaltime_is_null_time(t))
        return std::nullopt;
    const QDate date(t.year, t.month, t.day);
    const QTime time(t.is_date ? 0 : t.hour, t.is_date ? 0 : t.minute, t.is_date ? 0 : t.second);
    if (!date.isValid() || !time.isValid()) {
        valid = false;
        return std::nullopt;
    }
    if (t.is_date)
        return EncodeDateTime(date);
    if (icaltime_is_utc(t))
        return StoredDateTime(QDateTime(date, time, Qt::UTC));
    if (t.zone)
        return StoredDateTime(QDateTime::fromSecsSinceEpoch(
            qint64(icaltime_as_timet_with_zone(t, static_cast<const icaltimezone*>(t.zone))),
            Qt::UTC));
    // A zone the file does not define and libical does not know: perhaps one of the system's
    // (or a Windows name for one).
    icalparameter* tzid =
        property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
    if (tzid) {
        const QByteArray id = icalparameter_get_tzid(tzid);
        QTimeZone zone(id);
        if (!zone.isValid())
            zone = QTimeZone(QTimeZone::windowsIdToDefaultIanaId(id));
        if (zone.isValid())
            return StoredDateTime(QDateTime(date, time, zone));
    }
    return EncodeDateTime(date, time); // floating: the wall-clock time wherever one is
}

// The kinds a source may hold besides tasks, as the report names them when skipped.
QString skipReason(const QString& kind)
{
    if (kind == QLatin1String("VEVENT"))
        return QStringLiteral("event (VEVENT)|events (VEVENT)");
    if (kind == QLatin1String("VJOURNAL"))
        return QStringLiteral("journal entry (VJOURNAL)|journal entries (VJOURNAL)");
    if (kind == QLatin1String("VFREEBUSY"))
        return QStringLiteral("free/busy entry (VFREEBUSY)|free/busy entries (VFREEBUSY)");
    return QStringLiteral("other item (%1)|other items (%1)").arg(kind);
}

class TodoReader {
public:
    TodoReader(icalcomponent* todo, const Scan& scanned, const ScannedItem& item,
               const QString& source)
        : FTodo(todo), FScan(scanned), FItem(item), FSource(source)
    {
    }

    icalproperty* property(icalproperty_kind kind) const
    {
        return icalcomponent_get_first_property(FTodo, kind);
    }

    // The time of a property (`name` as the file spells it, for the error).
    std::optional<double> time(icalproperty_kind kind, const char* name) const
    {
        icalproperty* p = property(kind);
        if (!p)
            return std::nullopt;
        return checked(icalproperty_get_datetime_with_component(p, FTodo), p, name);
    }

    std::optional<double> checked(icaltimetype t, icalproperty* p, const char* name) const
    {
        bool valid = true;
        const std::optional<double> value = storedTime(t, p, valid);
        if (!valid)
            throw SourceError(FSource, line(name),
                              QStringLiteral("%1 is a date no calendar has").arg(name));
        return value;
    }

    // The line of the component's own property `name` (the first of that name).
    int line(const char* name) const
    {
        int depth = 0;
        for (size_t i = FItem.first; i < FItem.end; ++i) {
            QStringView property, value;
            splitLine(FScan.lines[i].text, property, value);
            if (is(property, "BEGIN"))
                ++depth;
            else if (is(property, "END"))
                --depth;
            else if (depth == 0 && is(property, name))
                return FScan.lines[i].line;
        }
        return FItem.line;
    }

private:
    icalcomponent* FTodo;
    const Scan& FScan;
    const ScannedItem& FItem;
    const QString& FSource;
};

int priorityOf(int icalPriority)
{
    // RFC 5545: 1 to 4 high, 5 medium, 6 to 9 low; 0 says nothing.
    if (icalPriority >= 1 && icalPriority <= 4)
        return 0;
    if (icalPriority >= 6)
        return 2;
    return 1;
}

void readTodo(icalcomponent* todo, const Scan& scanned, const ScannedItem& item,
              const QString& source, double now, SourceTasks& out)
{
    const TodoReader r(todo, scanned, item, source);
    icalproperty* statusProperty = r.property(ICAL_STATUS_PROPERTY);
    const icalproperty_status status =
        statusProperty ? icalproperty_get_status(statusProperty) : ICAL_STATUS_NONE;
    if (status == ICAL_STATUS_CANCELLED) {
        out.skipped.append(QStringLiteral("cancelled task|cancelled tasks"));
        return;
    }
    SourceTask t;
    t.uid = text(icalcomponent_get_uid(todo));
    t.task.title = text(icalcomponent_get_summary(todo));
    if (icalproperty* c = r.property(ICAL_CATEGORIES_PROPERTY))
        t.task.category = text(icalproperty_get_categories(c)).trimmed();
    t.task.details = DetailsWithCrLf(text(icalcomponent_get_description(todo)));
    const std::optional<double> dtstamp = r.time(ICAL_DTSTAMP_PROPERTY, "DTSTAMP");
    t.task.created = r.time(ICAL_CREATED_PROPERTY, "CREATED").value_or(dtstamp.value_or(now));
    // DUE, or DTSTART with DURATION; a date-time counts by the local day it falls on.
    const std::optional<double> due =
        r.checked(icalcomponent_get_due(todo),
                  r.property(ICAL_DUE_PROPERTY) ? r.property(ICAL_DUE_PROPERTY)
                                                : r.property(ICAL_DTSTART_PROPERTY),
                  "DUE");
    t.task.deadline = due ? DateOf(*due) : NullDate;
    if (icalproperty* p = r.property(ICAL_PRIORITY_PROPERTY))
        t.task.priority = priorityOf(icalproperty_get_priority(p));
    const std::optional<double> completed = r.time(ICAL_COMPLETED_PROPERTY, "COMPLETED");
    t.task.completed = NullDate;
    if (status == ICAL_STATUS_COMPLETED || (status == ICAL_STATUS_NONE && completed))
        t.task.completed = completed.value_or(
            r.time(ICAL_LASTMODIFIED_PROPERTY, "LAST-MODIFIED").value_or(dtstamp.value_or(now)));
    FitTexts(t.task, out.notes);
    out.tasks.push_back(std::move(t));
}

// --- writing ----------------------------------------------------------------------------------

icaltimetype utcTime(double stored)
{
    const QDateTime utc = LocalDateTime(stored).toUTC();
    icaltimetype t = icaltime_null_time();
    t.year = utc.date().year();
    t.month = utc.date().month();
    t.day = utc.date().day();
    t.hour = utc.time().hour();
    t.minute = utc.time().minute();
    t.second = utc.time().second();
    t.zone = icaltimezone_get_utc_timezone();
    return t;
}

// A TEXT value as RFC 5545 escapes it.
QByteArray escapedText(const QString& text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == ';' || c == ',')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

// A content line folded into lines of at most 75 octets, never inside a character's UTF-8
// sequence.
QByteArray folded(const QByteArray& line)
{
    QByteArray out;
    int length = 0;
    for (qsizetype i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        const int size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length + size > 75) {
            out += "\r\n ";
            length = 1;
        }
        const QByteArray character = line.mid(i, size);
        out += character;
        length += int(character.size());
        i += character.size();
    }
    return out;
}

// libical writes a CATEGORIES value without escaping its commas, so that one category with a
// comma would come back as two. The writer puts a placeholder there and the category in its place.
QByteArray categoryPlaceholder(size_t index)
{
    return "QMCATEGORY" + QByteArray::number(qulonglong(index));
}

QByteArray withCategories(const QByteArray& text, const std::vector<TaskEntry>& tasks)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 16);
    qsizetype from = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
        if (tasks[i].category.isEmpty())
            continue;
        const QByteArray placeholder = "CATEGORIES:" + categoryPlaceholder(i) + "\r\n";
        const qsizetype at = text.indexOf(placeholder, from);
        if (at < 0)
            continue;
        out += QByteArrayView(text).sliced(from, at - from);
        out += folded("CATEGORIES:" + escapedText(tasks[i].category)) + "\r\n";
        from = at + placeholder.size();
    }
    out += QByteArrayView(text).sliced(from);
    return out;
}

bool writable(double stored)
{
    return stored != NullDate && InIsoRange(stored);
}

} // namespace

QByteArray WriteICalendar(const std::vector<TaskEntry>& tasks, const std::vector<QString>& uids)
{
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(QByteArray(
                                                   "-//Quillmark//Quillmark " QM_VERSION "//EN")));
    for (size_t i = 0; i < tasks.size(); ++i) {
        const TaskEntry& task = tasks[i];
        icalcomponent* todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
        icalcomponent_add_property(todo, icalproperty_new_uid(uids[i].toUtf8()));
        // No store keeps when a task last changed; its creation or completion, whichever is
        // later, makes exports of an unchanged list the same.
        const bool completed = writable(task.completed);
        const double stamp = completed ? std::max(task.created, task.completed) : task.created;
        if (writable(stamp))
            icalcomponent_add_property(todo, icalproperty_new_dtstamp(utcTime(stamp)));
        if (writable(task.created))
            icalcomponent_add_property(todo, icalproperty_new_created(utcTime(task.created)));
        icalcomponent_add_property(todo, icalproperty_new_summary(task.title.toUtf8()));
        if (!task.category.isEmpty())
            icalcomponent_add_property(todo, icalproperty_new_categories(categoryPlaceholder(i)));
        if (!task.details.isEmpty())
            icalcomponent_add_property(
                todo, icalproperty_new_description(DetailsWithLf(task.details).toUtf8()));
        if (writable(task.deadline)) {
            const QDate day = DecodeDate(task.deadline);
            icalcomponent_add_property(
                todo, icalproperty_new_due(icaltime_from_day_of_year(day.dayOfYear(), day.year())));
        }
        static constexpr int priorities[] = {1, 5, 9};
        icalcomponent_add_property(
            todo, icalproperty_new_priority(
                      task.priority >= 0 && task.priority <= 2 ? priorities[task.priority] : 0));
        icalcomponent_add_property(
            todo,
            icalproperty_new_status(completed ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
        if (completed)
            icalcomponent_add_property(todo, icalproperty_new_completed(utcTime(task.completed)));
        icalcomponent_add_component(calendar.get(), todo);
    }
    char* textOut = icalcomponent_as_ical_string_r(calendar.get());
    const QByteArray result(textOut);
    icalmemory_free_buffer(textOut);
    return withCategories(result, tasks);
}

SourceTasks ReadICalendar(const QByteArray& data, const QString& sourceName)
{
    icalerror_set_errors_are_fatal(0);
    const Scan scanned = scan(SourceText(data), sourceName);
    const std::vector<ScannedItem>& items = scanned.items;
    const qsizetype bom = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    Component root(icalparser_parse_string(data.constData() + bom));
    if (!root)
        throw SourceError(sourceName, 1, QStringLiteral("not an iCalendar file"));
    std::vector<icalcomponent*> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
        calendars.push_back(root.get());
    } else {
        for (icalcomponent* c =
                 icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);
    }
    SourceTasks out;
    size_t next = 0; // the scanned item that goes with the next component
    const double now = Now();
    for (icalcomponent* calendar : calendars) {
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            if (next >= items.size())
                throw SourceError(sourceName, 1,
                                  QStringLiteral("not a well-formed iCalendar file"));
            const ScannedItem& item = items[next++];
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VTODO_COMPONENT)
                readTodo(c, scanned, item, sourceName, now, out);
            else if (kind != ICAL_VTIMEZONE_COMPONENT)
                out.skipped.append(skipReason(item.kind));
        }
    }
    return out;
}
