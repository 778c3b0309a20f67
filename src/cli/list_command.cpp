// qmtd list: the tasks as a person reads them, one aligned row each. The numbers in the first
// column are the record indexes in the order --order names (by deadline unless given), the ones
// the commands that take N expect with the same --order. The completed view lists the tasks
// newest completion first, as the window does, but keeps those numbers.

#include "cli/cli_command.h"
#include "cli/find_option.h"
#include "cli/terminal_text.h"
#include "shared/datetime.h"
#include "store/task_fields.h"
#include "view/html_text.h"

#include <algorithm>

namespace {

enum class ColorChoice { Auto, Always, Never };

ColorChoice colorChoice(const CliArgs& args)
{
    const QString value = args.option(QStringLiteral("color"), QStringLiteral("auto"));
    if (value == QLatin1String("auto"))
        return ColorChoice::Auto;
    if (value == QLatin1String("always"))
        return ColorChoice::Always;
    if (value == QLatin1String("never"))
        return ColorChoice::Never;
    throw CliUsageError(
        QStringLiteral("the colour must be auto, always or never, not \"%1\"").arg(value));
}

bool useColor(ColorChoice choice, const CliTerminal& terminal)
{
    switch (choice) {
    case ColorChoice::Always:
        return true;
    case ColorChoice::Never:
        return false;
    case ColorChoice::Auto:
        break;
    }
    return terminal.isTerminal && !terminal.noColor && !terminal.dumb;
}

enum class Mark { None, Today, Overdue };

struct Row {
    int index = 0;
    QString title, category, deadline, priority, completed;
    double completedAt = NullDate;
    Mark mark = Mark::None;
};

QString isoDate(double value)
{
    return DecodeDate(value).toString(Qt::ISODate);
}

// "Today", "Tomorrow", "Overdue 3 d" or the date; nothing for no deadline.
QString deadlineText(double deadline, double today, Mark& mark)
{
    if (deadline == NullDate)
        return {};
    const double day = DateOf(deadline);
    if (day == today) {
        mark = Mark::Today;
        return QStringLiteral("Today");
    }
    if (day < today) {
        mark = Mark::Overdue;
        return QStringLiteral("Overdue %1 d").arg(qint64(today - day));
    }
    if (day == today + 1)
        return QStringLiteral("Tomorrow");
    return isoDate(day);
}

const char* const Bold = "\x1b[1m";
const char* const Red = "\x1b[31m";
const char* const Reset = "\x1b[0m";

} // namespace

CliListCommand PrepareList(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const TSortMode order = OrderOf(args);
    const bool completedView = args.flag(QStringLiteral("completed"));
    const ColorChoice color = colorChoice(args);
    const TaskQuery query = FindQuery(args);
    return {
        ListAccess::Read, 0, [=](CliList& list, CliIo& io) {
            TaskTable& table = list.table;
            UseOrder(table, order);
            const TaskFieldIndexes f(table);
            const double today = Today();
            std::vector<Row> rows;
            for (table.First(); !table.Eof(); table.Next()) {
                const double done = table.AsDateTime(f.completed);
                if ((done != NullDate) != completedView)
                    continue;
                if (!query.isEmpty() && !query.Matches(QueryValues(table), today))
                    continue;
                Row row;
                row.index = table.RecNo();
                row.title = LineText(table.AsString(f.title));
                row.category = LineText(table.AsString(f.category));
                const double deadline = table.AsDateTime(f.completeBy);
                if (completedView) {
                    row.deadline = deadline == NullDate ? QString() : isoDate(deadline);
                    row.completed = isoDate(done);
                    row.completedAt = done;
                } else {
                    row.deadline = deadlineText(deadline, today, row.mark);
                }
                row.priority = PriorityName(table.AsInteger(f.priority));
                rows.push_back(row);
            }
            if (rows.empty()) {
                if (!query.isEmpty())
                    io.out << "No tasks match \"" << LineText(query.text()) << "\".\n";
                else if (table.RecordCount() == 0)
                    io.out << "The list has no tasks.\n";
                else if (completedView)
                    io.out << "There are no completed tasks.\n";
                else
                    io.out << "There are no uncompleted tasks.\n";
                return 0;
            }
            if (completedView)
                std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
                    return a.completedAt > b.completedAt;
                });

            Row header;
            header.title = QStringLiteral("Title");
            header.category = QStringLiteral("Category");
            header.deadline = QStringLiteral("Deadline");
            header.priority = QStringLiteral("Priority");
            header.completed = QStringLiteral("Completed");
            int indexWidth = 1;
            int widths[5] = {DisplayWidth(header.title), DisplayWidth(header.category),
                             DisplayWidth(header.deadline), DisplayWidth(header.priority),
                             DisplayWidth(header.completed)};
            for (const Row& r : rows) {
                indexWidth = std::max(indexWidth, int(QString::number(r.index).size()));
                widths[0] = std::max(widths[0], DisplayWidth(r.title));
                widths[1] = std::max(widths[1], DisplayWidth(r.category));
                widths[2] = std::max(widths[2], DisplayWidth(r.deadline));
                widths[3] = std::max(widths[3], DisplayWidth(r.priority));
                widths[4] = std::max(widths[4], DisplayWidth(r.completed));
            }
            const int columns = completedView ? 5 : 4;
            constexpr int Gap = 2;
            // On a terminal the titles give way, down to a few characters, so that a row
            // fits on one line.
            if (io.terminal.isTerminal && io.terminal.columns > 0) {
                int others = indexWidth;
                for (int c = 1; c < columns; ++c)
                    others += Gap + widths[c];
                const int room = io.terminal.columns - others - Gap;
                widths[0] = std::min(widths[0], std::max(room, 8));
            }
            const bool colored = useColor(color, io.terminal);
            const auto write = [&](const Row& r, const QString& index) {
                if (colored && r.mark == Mark::Overdue)
                    io.out << Red;
                else if (colored && r.mark == Mark::Today)
                    io.out << Bold;
                const QString cells[5] = {r.title, r.category, r.deadline, r.priority, r.completed};
                QString line = QString(indexWidth - index.size(), u' ') + index;
                for (int c = 0; c < columns; ++c) {
                    const QString cell = CutToWidth(cells[c], widths[c]);
                    line += QString(Gap, u' ');
                    line += c + 1 < columns ? PadToWidth(cell, widths[c]) : cell;
                }
                io.out << line;
                if (colored && r.mark != Mark::None)
                    io.out << Reset;
                io.out << '\n';
            };
            write(header, QStringLiteral("N"));
            for (const Row& r : rows)
                write(r, QString::number(r.index));
            return 0;
        }};
}
