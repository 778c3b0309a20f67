#include "view/task_page.h"

#include "shared/datetime.h"
#include "store/task_table.h"
#include "view/html_text.h"
#include "view/match_marks.h"
#include "view/task_query.h"
#include "view/view_error.h"

#include <QHash>
#include <cmath>
#include <limits>

namespace {
const QStringView crlf(u"\r\n");

enum class Grouping { None, Category, Deadline, Priority };

Grouping groupingOf(TSortMode mode)
{
    switch (mode) {
    case smCaDePrTiCr:
        return Grouping::Category;
    case smDePrTiCr:
        return Grouping::Deadline;
    case smPrDeTiCr:
        return Grouping::Priority;
    default:
        return Grouping::None;
    }
}

bool needsEscaping(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'&' || u == u'<' || u == u'>' || u == u'"')
            return true;
    }
    return false;
}

void appendText(QString& out, const QString& text)
{
    if (needsEscaping(text))
        AppendEscapedHtml(out, text);
    else
        out += text;
}

// Dates repeat a lot on one page (a day's deadlines sit together), so each day is formatted once,
// and so is its deadline group label.
class DateTexts {
public:
    const QString& of(double value) { return entry(value).date; }
    const QString& deadlineLabel(double value)
    {
        Entry& e = entry(value);
        if (e.label.isNull())
            e.label = QStringLiteral("Deadline: ") + e.date;
        return e.label;
    }

private:
    struct Entry {
        QString date;
        QString label;
    };
    Entry& entry(double value)
    {
        // Keyed by the calendar day the formatter shows (the fraction cut towards zero); values
        // no day can hold share one entry.
        const double whole = DateOf(value);
        const qint64 day = std::abs(whole) < 1e15 ? static_cast<qint64>(whole)
                                                  : std::numeric_limits<qint64>::min();
        auto it = FTexts.find(day);
        if (it == FTexts.end())
            it = FTexts.insert(day, Entry{FormatShortDate(value), QString()});
        return it.value();
    }
    QHash<qint64, Entry> FTexts;
};

QString groupKey(Grouping grouping, const QString& category, double deadline, qint64 priority,
                 double today, DateTexts& dates)
{
    switch (grouping) {
    case Grouping::Category:
        return category;
    case Grouping::Deadline:
        if (DateOf(deadline) == today)
            return QStringLiteral("Deadline: Today");
        if (deadline == NullDate)
            return QStringLiteral("No Deadline");
        return dates.deadlineLabel(deadline);
    case Grouping::Priority:
        switch (priority) {
        case 0:
            return QStringLiteral("High Priority");
        case 1:
            return QStringLiteral("Normal Priority");
        case 2:
            return QStringLiteral("Low Priority");
        default:
            throw ViewError(QStringLiteral("Unknown priority level: %1").arg(priority));
        }
    case Grouping::None:
        break;
    }
    return {};
}

void appendGroupRow(QString& out, Grouping grouping, const QString& key)
{
    out += QStringView(u"<tr><td class=\"group\" colspan=\"5\">");
    if (grouping == Grouping::Category) {
        if (key.isEmpty()) {
            out += QStringView(u"No category");
        } else {
            out += QStringView(u"Category: ");
            appendText(out, key);
        }
    } else {
        out += key;
    }
    out += QStringView(u"</td></tr>");
    out += crlf;
}

void appendButton(QString& out, TActionKind kind, int recIndex, const ActionImagePaths& images)
{
    out += QStringView(u"<td class=\"action\">");
    AppendActionLink(out, kind, recIndex, images);
    out += QStringView(u"</td>");
}

void appendMessageRow(QString& out, QStringView message)
{
    out += QStringView(u"<tr><td>");
    out += message;
    out += QStringView(u"</td></tr>");
    out += crlf;
}
} // namespace

TSortMode EffectiveSortMode(int sortMode)
{
    const int mode = sortMode & 0x7F;
    if (mode >= SortModeCount)
        return DefaultSortMode;
    return static_cast<TSortMode>(mode);
}

TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today)
{
    return BuildTaskPage(table, sortMode, filter, printing, images, styleSheet, today, {});
}

namespace {

TaskPage buildPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                   const ActionImagePaths& images, const QString& styleSheet, double today,
                   const PageQuery& query, QString buffer, const PageWriter& write)
{
    TaskPage page;
    if (!table.Active())
        return page;
    buffer.truncate(0); // keeps the memory
    page.text = std::move(buffer);

    const TSortMode mode = EffectiveSortMode(sortMode);
    const Grouping grouping = groupingOf(mode);
    const bool completedView = filter == tvfCompleted;

    const int fTitle = table.FieldIndex(TaskField::Title);
    const int fCategory = table.FieldIndex(TaskField::Category);
    const int fCompleteBy = table.FieldIndex(TaskField::CompleteBy);
    const int fPriority = table.FieldIndex(TaskField::Priority);
    const int fCompleted = table.FieldIndex(TaskField::Completed);
    const int fDetails = table.FieldIndex(TaskField::Details);
    const bool filtering = query.query && !query.query->isEmpty();
    const int fCreated = filtering ? table.FieldIndex(TaskField::Created) : -1;

    QString& out = page.text;
    const qsizetype perTask = printing ? 700 : 1300 + 4 * images.ImgEditTask.size();
    // Written out in pieces of this many characters when a writer takes them.
    constexpr qsizetype PieceSize = 1 << 16;
    out.reserve(styleSheet.size() + 400 +
                (write ? PieceSize + perTask : table.RecordCount() * perTask));

    out += QStringView(u"<html>\r\n<header>\r\n<style type=\"text/css\" media=\"screen\"><!--\r\n");
    out += styleSheet;
    out += crlf;
    out += QStringView(u"--></style>\r\n</header>\r\n<body>\r\n"
                       "<table cellspacing=\"0\" style=\"border: 1px solid black; margin: "
                       "3px\">\r\n");

    table.SetIndexName(SortModeName(mode));
    page.rows.reserve(size_t(table.RecordCount()));

    DateTexts dates;
    bool alternate = false;
    bool haveGroup = false;
    QString lastKey;
    int shown = 0;
    int completedTasks = 0;
    int tabTasks = 0;
    int matched = 0;
    int recIndex = 0;
    TaskValues values;
    TaskMarks marks;
    int rowsWritten = 0; // rows of the page's table so far

    for (table.First(); !table.Eof(); table.Next()) {
        ++recIndex; // walking the current order from its first record
        const double completed = table.AsDateTime(fCompleted);
        const bool isCompleted = completed != NullDate;
        if (isCompleted)
            ++completedTasks;
        if (isCompleted != completedView)
            continue;
        ++tabTasks;

        const QString category = table.AsString(fCategory);
        const double deadline = table.AsDateTime(fCompleteBy);
        const qint64 priority = table.AsInteger(fPriority);
        if (filtering) {
            values = {table.AsString(fTitle),
                      category,
                      table.AsString(fDetails),
                      deadline,
                      priority,
                      completed};
            if (query.query->Matches(values, today, &marks))
                ++matched;
            else if (table.AsDateTime(fCreated) >= query.keepCreatedFrom)
                marks.clear();
            else
                continue;
        }

        if (grouping != Grouping::None) {
            QString key = groupKey(grouping, category, deadline, priority, today, dates);
            if (!haveGroup || key != lastKey) {
                appendGroupRow(out, grouping, key);
                ++rowsWritten;
                lastKey = std::move(key);
                haveGroup = true;
            }
        }
        ++shown;
        page.rows.push_back(TaskPageRow{recIndex, table.RecordId(), rowsWritten});
        rowsWritten += 2;

        const QStringView rowOpen =
            alternate ? QStringView(u"<tr class=\"alternate\">\r\n") : QStringView(u"<tr>\r\n");
        out += rowOpen;

        out += QStringView(u"<td class=\"tasktitle\">");
        AppendSmallCaption(out, QStringView(u"&nbsp;"));
        if (filtering && !marks.title.empty())
            AppendMarkedText(out, values.title, marks.title);
        else
            appendText(out, filtering ? values.title : table.AsString(fTitle));
        out += QStringView(u"</td>\r\n<td class=\"category\">");
        if (category.isEmpty()) {
            AppendSmallCaption(out, QStringView(u"No&nbsp;category"));
        } else {
            AppendSmallCaption(out, QStringView(u"Category:"));
            if (filtering && !marks.category.empty())
                AppendMarkedText(out, category, marks.category);
            else
                appendText(out, category);
        }
        out += QStringView(u"</td>\r\n");

        if (!completedView) {
            out += QStringView(u"<td class=\"deadline\">");
            if (deadline == NullDate) {
                AppendSmallCaption(out, QStringView(u"No&nbsp;deadline"));
            } else if (deadline < today + 1) {
                AppendSmallCaption(out, QStringView(u"Deadline:"));
                out += QStringView(u" <span class=\"alert\">");
                out += dates.of(deadline);
                out += QStringView(u"</span>");
            } else {
                AppendSmallCaption(out, QStringView(u"Deadline:"));
                out += dates.of(deadline);
            }
            out += QStringView(u"</td>\r\n");
        } else {
            out += QStringView(u"<td class=\"completed\">");
            AppendSmallCaption(out, QStringView(u"Completed:"));
            out += dates.of(completed);
            out += QStringView(u"</td>\r\n");
        }

        out += QStringView(u"<td class=\"priority\">");
        AppendSmallCaption(out, QStringView(u"Priority:"));
        out += PriorityName(priority);
        out += QStringView(u"</td>\r\n");

        if (printing) {
            out += QStringView(u"<td></td>\r\n");
        } else {
            out += QStringView(u"<td width=\"96\" align=\"right\">\r\n");
            out +=
                alternate
                    ? QStringView(u"<table border=\"0\" cellspacing=\"0\" class=\"alternate\"><tr>")
                    : QStringView(u"<table border=\"0\" cellspacing=\"0\"><tr>");
            if (!completedView)
                appendButton(out, TActionKind::Edit, recIndex, images);
            appendButton(out, isCompleted ? TActionKind::Undo : TActionKind::Done, recIndex,
                         images);
            appendButton(out, TActionKind::DoAgain, recIndex, images);
            appendButton(out, TActionKind::More, recIndex, images);
            out += QStringView(u"</tr></table>\r\n</td>\r\n");
        }
        out += QStringView(u"</tr>\r\n");

        out += rowOpen;
        out += QStringView(u"<td class=\"details\" colspan=\"5\">");
        if (filtering && !marks.details.empty())
            out += MarkHtml(DetailsToHtml(values.details), values.details, marks.details);
        else
            out += DetailsToHtml(filtering ? values.details : table.AsString(fDetails));
        out += QStringView(u"</td>\r\n</tr>\r\n");

        alternate = !alternate;
        if (write && out.size() >= PieceSize) {
            write(out);
            out.resize(0); // keeps its room
        }
    }

    if (shown == 0) {
        if (table.RecordCount() == 0)
            appendMessageRow(out, QStringView(u"Your to-do list is empty. Click the \"New "
                                              "Task\" button above to create a task."));
        else if (filtering && tabTasks > 0)
            appendMessageRow(out,
                             QString(QStringLiteral("No tasks match \u201C") +
                                     EscapeHtml(query.query->text()) + QStringLiteral("\u201D.")));
        else if (!completedView)
            appendMessageRow(out, QStringView(u"There are no uncompleted tasks. Click \"New "
                                              "Task\" above to create one."));
        else
            appendMessageRow(
                out, QStringView(u"There are no completed tasks. Click the \"Uncompleted\" tab "
                                 "below to view uncompleted tasks or mark one as completed."));
    }
    out += QStringView(u"</table>\r\n</body></html>\r\n");
    if (write) {
        write(out);
        out = QString();
    }

    page.FRecsShown = shown;
    page.FCompletedTasks = completedTasks;
    page.tabTasks = tabTasks;
    page.matched = filtering ? matched : tabTasks;
    return page;
}

} // namespace

TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today,
                       const PageQuery& query, QString buffer)
{
    return buildPage(table, sortMode, filter, printing, images, styleSheet, today, query,
                     std::move(buffer), {});
}

TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today,
                       const PageQuery& query, const PageWriter& write)
{
    return buildPage(table, sortMode, filter, printing, images, styleSheet, today, query, {},
                     write);
}
