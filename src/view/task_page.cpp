#include "view/task_page.h"

#include "shared/datetime.h"
#include "store/task_table.h"
#include "view/html_text.h"
#include "view/view_error.h"

#include <QHash>

namespace {
const QLatin1StringView crlf("\r\n");

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

// Dates repeat a lot on one page (a day's deadlines sit together), so each day is formatted once.
class DateTexts {
public:
    const QString& of(double value)
    {
        const qint64 day = static_cast<qint64>(DateOf(value));
        auto it = FTexts.constFind(day);
        if (it == FTexts.constEnd())
            it = FTexts.insert(day, FormatShortDate(value));
        return it.value();
    }

private:
    QHash<qint64, QString> FTexts;
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
        return QStringLiteral("Deadline: ") + dates.of(deadline);
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
    out += QLatin1StringView("<tr><td class=\"group\" colspan=\"5\">");
    if (grouping == Grouping::Category) {
        if (key.isEmpty()) {
            out += QLatin1StringView("No category");
        } else {
            out += QLatin1StringView("Category: ");
            appendText(out, key);
        }
    } else {
        out += key;
    }
    out += QLatin1StringView("</td></tr>");
    out += crlf;
}

void appendButton(QString& out, TActionKind kind, int recIndex, const ActionImagePaths& images)
{
    out += QLatin1StringView("<td class=\"action\">");
    AppendActionLink(out, kind, recIndex, images);
    out += QLatin1StringView("</td>");
}

void appendMessageRow(QString& out, QLatin1StringView message)
{
    out += QLatin1StringView("<tr><td>");
    out += message;
    out += QLatin1StringView("</td></tr>");
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
    TaskPage page;
    if (!table.Active())
        return page;

    const TSortMode mode = EffectiveSortMode(sortMode);
    const Grouping grouping = groupingOf(mode);
    const bool completedView = filter == tvfCompleted;

    const int fTitle = table.FieldIndex(TaskField::Title);
    const int fCategory = table.FieldIndex(TaskField::Category);
    const int fCompleteBy = table.FieldIndex(TaskField::CompleteBy);
    const int fPriority = table.FieldIndex(TaskField::Priority);
    const int fCompleted = table.FieldIndex(TaskField::Completed);
    const int fDetails = table.FieldIndex(TaskField::Details);

    QString& out = page.text;
    const qsizetype perTask = printing ? 700 : 1300 + 4 * images.ImgEditTask.size();
    out.reserve(styleSheet.size() + 400 + table.RecordCount() * perTask);

    out += QLatin1StringView(
        "<html>\r\n<header>\r\n<style type=\"text/css\" media=\"screen\"><!--\r\n");
    out += styleSheet;
    out += crlf;
    out += QLatin1StringView("--></style>\r\n</header>\r\n<body>\r\n"
                             "<table cellspacing=\"0\" style=\"border: 1px solid black; margin: "
                             "3px\">\r\n");

    table.SetIndexName(SortModeName(mode));

    DateTexts dates;
    bool alternate = false;
    bool haveGroup = false;
    QString lastKey;
    int shown = 0;
    int completedTasks = 0;
    int recIndex = 0;

    for (table.First(); !table.Eof(); table.Next()) {
        ++recIndex; // walking the current order from its first record
        const double completed = table.AsDateTime(fCompleted);
        const bool isCompleted = completed != NullDate;
        if (isCompleted)
            ++completedTasks;
        if (isCompleted != completedView)
            continue;

        const QString category = table.AsString(fCategory);
        const double deadline = table.AsDateTime(fCompleteBy);
        const qint64 priority = table.AsInteger(fPriority);

        if (grouping != Grouping::None) {
            QString key = groupKey(grouping, category, deadline, priority, today, dates);
            if (!haveGroup || key != lastKey) {
                appendGroupRow(out, grouping, key);
                lastKey = std::move(key);
                haveGroup = true;
            }
        }
        ++shown;

        const QLatin1StringView rowOpen = alternate
                                              ? QLatin1StringView("<tr class=\"alternate\">\r\n")
                                              : QLatin1StringView("<tr>\r\n");
        out += rowOpen;

        out += QLatin1StringView("<td class=\"tasktitle\">");
        AppendSmallCaption(out, QLatin1StringView("&nbsp;"));
        appendText(out, table.AsString(fTitle));
        out += QLatin1StringView("</td>\r\n<td class=\"category\">");
        if (category.isEmpty()) {
            AppendSmallCaption(out, QLatin1StringView("No&nbsp;category"));
        } else {
            AppendSmallCaption(out, QLatin1StringView("Category:"));
            appendText(out, category);
        }
        out += QLatin1StringView("</td>\r\n");

        if (!completedView) {
            out += QLatin1StringView("<td class=\"deadline\">");
            if (deadline == NullDate) {
                AppendSmallCaption(out, QLatin1StringView("No&nbsp;deadline"));
            } else if (deadline < today + 1) {
                AppendSmallCaption(out, QLatin1StringView("Deadline:"));
                out += QLatin1StringView(" <span class=\"alert\">");
                out += dates.of(deadline);
                out += QLatin1StringView("</span>");
            } else {
                AppendSmallCaption(out, QLatin1StringView("Deadline:"));
                out += dates.of(deadline);
            }
            out += QLatin1StringView("</td>\r\n");
        } else {
            out += QLatin1StringView("<td class=\"completed\">");
            AppendSmallCaption(out, QLatin1StringView("Completed:"));
            out += dates.of(completed);
            out += QLatin1StringView("</td>\r\n");
        }

        out += QLatin1StringView("<td class=\"priority\">");
        AppendSmallCaption(out, QLatin1StringView("Priority:"));
        out += PriorityName(priority);
        out += QLatin1StringView("</td>\r\n");

        if (printing) {
            out += QLatin1StringView("<td></td>\r\n");
        } else {
            out += QLatin1StringView("<td width=\"96\" align=\"right\">\r\n");
            out += alternate ? QLatin1StringView(
                                   "<table border=\"0\" cellspacing=\"0\" class=\"alternate\"><tr>")
                             : QLatin1StringView("<table border=\"0\" cellspacing=\"0\"><tr>");
            if (!completedView)
                appendButton(out, TActionKind::Edit, recIndex, images);
            appendButton(out, isCompleted ? TActionKind::Undo : TActionKind::Done, recIndex,
                         images);
            appendButton(out, TActionKind::DoAgain, recIndex, images);
            appendButton(out, TActionKind::More, recIndex, images);
            out += QLatin1StringView("</tr></table>\r\n</td>\r\n");
        }
        out += QLatin1StringView("</tr>\r\n");

        out += rowOpen;
        out += QLatin1StringView("<td class=\"details\" colspan=\"5\">");
        out += DetailsToHtml(table.AsString(fDetails));
        out += QLatin1StringView("</td>\r\n</tr>\r\n");

        alternate = !alternate;
    }

    if (shown == 0) {
        if (table.RecordCount() == 0)
            appendMessageRow(out, QLatin1StringView("Your to-do list is empty. Click the \"New "
                                                    "Task\" button above to create a task."));
        else if (!completedView)
            appendMessageRow(out, QLatin1StringView("There are no uncompleted tasks. Click \"New "
                                                    "Task\" above to create one."));
        else
            appendMessageRow(out, QLatin1StringView(
                                      "There are no completed tasks. Click the \"Uncompleted\" tab "
                                      "below to view uncompleted tasks or mark one as completed."));
    }
    out += QLatin1StringView("</table>\r\n</body></html>\r\n");

    page.FRecsShown = shown;
    page.FCompletedTasks = completedTasks;
    return page;
}
