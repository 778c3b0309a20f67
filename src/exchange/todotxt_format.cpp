// todo.txt as it is commonly written (https://github.com/todotxt/todo.txt): one task a line,
//   x 2026-03-04 2026-03-01 Pay rent +Home due:2026-03-20 pri:A     (completed)
//   (A) 2026-03-01 Pay rent +Home due:2026-03-20                    (not completed)
// "x" and the completion date for a done task, (A), (B) or (C) for high, normal and low (pri:
// for a done one, which has no place for it in front), the creation date, the title, the category
// as +Category with its spaces as "_", and due:. Details have no place in the format; the export
// says so. The reader takes the last +project as the category (our export writes it after the
// title) and leaves other projects, @contexts and key:value tags in the title.

#include "exchange/exchange_formats.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"

#include <optional>

namespace {

const QChar PriorityLetters[] = {u'A', u'B', u'C'};

QString isoDay(double value)
{
    return FormatIsoDate(value);
}

// A word on its own: every run of spaces as one "_", so that a reader sees one token.
QString token(const QString& text)
{
    QString out;
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
        else if (!out.endsWith(u'_'))
            out += u'_';
    return out;
}

// Line breaks in a title as spaces, to keep the task on its line.
QString oneLine(const QString& text)
{
    if (!text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString out = text;
    return out.replace(u'\r', u' ').replace(u'\n', u' ');
}

// "(A)" to "(Z)": the letter, or nothing.
std::optional<QChar> priorityMark(const QString& word)
{
    if (word.size() == 3 && word[0] == u'(' && word[2] == u')' && word[1] >= u'A' &&
        word[1] <= u'Z')
        return word[1];
    return std::nullopt;
}

bool isDate(const QString& word)
{
    return word.size() == 10 && word[4] == u'-' && word[7] == u'-' && word[0].isDigit();
}

int priorityOfLetter(QChar letter)
{
    if (letter == u'A')
        return 0;
    if (letter == u'B')
        return 1;
    return 2; // C and below
}

} // namespace

QByteArray WriteTodoTxt(const std::vector<TaskEntry>& tasks)
{
    QString out;
    for (const TaskEntry& t : tasks) {
        QStringList words;
        const bool done = t.completed != NullDate && !isoDay(t.completed).isEmpty();
        const bool known = t.priority >= 0 && t.priority <= 2;
        if (done)
            words << QStringLiteral("x") << isoDay(t.completed);
        else if (known)
            words << QStringLiteral("(%1)").arg(PriorityLetters[t.priority]);
        if (!isoDay(t.created).isEmpty())
            words << isoDay(t.created);
        const QString title = oneLine(t.title);
        if (!title.isEmpty())
            words << title;
        if (!t.category.isEmpty())
            words << u'+' + token(t.category);
        if (t.deadline != NullDate && !isoDay(t.deadline).isEmpty())
            words << QStringLiteral("due:") + isoDay(t.deadline);
        if (done && known && t.priority != 1)
            words << QStringLiteral("pri:%1").arg(PriorityLetters[t.priority]);
        out += words.join(u' ') + u'\n';
    }
    return out.toUtf8();
}

SourceTasks ReadTodoTxt(const QByteArray& data, const QString& sourceName)
{
    const QStringList lines = SourceText(data).split(u'\n');
    SourceTasks out;
    const double now = Now();
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const int lineNumber = n + 1;
        const auto date = [&](const QString& word) {
            const std::optional<QDate> d = ParseIsoDate(word);
            if (!d)
                throw SourceError(sourceName, lineNumber,
                                  QStringLiteral("\"%1\" is not a date (YYYY-MM-DD)").arg(word));
            return EncodeDateTime(*d);
        };
        SourceTask t;
        t.task.priority = 1;
        t.task.completed = NullDate;
        t.task.deadline = NullDate;
        int at = 0;
        const auto takePriority = [&] {
            if (at >= words.size())
                return;
            if (const std::optional<QChar> letter = priorityMark(words[at])) {
                t.task.priority = priorityOfLetter(*letter);
                ++at;
            }
        };
        if (words[0] == QLatin1String("x")) {
            ++at;
            t.task.completed = now;
            takePriority(); // not where the format puts it, but some write it there
            if (at < words.size() && isDate(words[at]))
                t.task.completed = date(words[at++]);
        } else {
            takePriority();
        }
        const bool hasCreated = at < words.size() && isDate(words[at]);
        // Without a creation date a done task was made no later than it was done.
        t.task.created = hasCreated                     ? date(words[at++])
                         : t.task.completed != NullDate ? t.task.completed
                                                        : now;
        QStringList title;
        int category = -1;
        for (; at < words.size(); ++at) {
            const QString& w = words[at];
            if (w.startsWith(QLatin1String("due:")) && w.size() > 4) {
                t.task.deadline = date(w.mid(4));
            } else if (w.startsWith(QLatin1String("pri:")) && w.size() == 5 && w.at(4).isUpper() &&
                       w.at(4).unicode() < 128) {
                t.task.priority = priorityOfLetter(w.at(4));
            } else {
                if (w.size() > 1 && w.startsWith(u'+'))
                    category = int(title.size());
                title.append(w);
            }
        }
        if (category >= 0)
            t.task.category = title.takeAt(category).mid(1).replace(u'_', u' ');
        t.task.title = title.join(u' ');
        FitTexts(t.task, out.notes);
        out.tasks.push_back(std::move(t));
    }
    return out;
}
