#include "view/task_query.h"

#include "shared/datetime.h"

#include <QDate>
#include <optional>

namespace {

enum class TermKind { Text, Category, Priority, Due, Done };

// What a due: or done: term asks of its date.
enum class DateTest { Overdue, Today, Tomorrow, Week, Recent, None, On, Before, After };

const QString KnownFilters =
    QStringLiteral("category: (c:), priority: (p:), due: and done:; put other text with a colon "
                   "in quotes to find it");

bool isQuote(QChar c)
{
    switch (c.unicode()) {
    case u'"':
    case 0x201C: // “
    case 0x201D: // ”
    case 0x201E: // „
        return true;
    default:
        return false;
    }
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

QString quoted(const QString& text)
{
    return QStringLiteral("\u201C%1\u201D").arg(text);
}

} // namespace

struct TaskQuery::Term {
    TermKind kind = TermKind::Text;
    bool negated = false;
    QString needle;      // Text and Category: folded
    qint64 priority = 1; // Priority
    DateTest test = DateTest::Today;
    double day = 0; // On, Before, After
};

namespace {

using Term = TaskQuery::Term;

// Reads the query text from left to right.
class QueryReader {
public:
    QueryReader(const QString& text, const SearchFolding& folding) : FText(text), FFolding(folding)
    {
    }

    std::vector<Term> terms()
    {
        std::vector<Term> terms;
        while (skipSpaces()) {
            bool negated = false;
            if (FText[FAt] == u'-') {
                negated = true;
                ++FAt;
                if (atSpaceOrEnd())
                    continue; // a lone dash, as while typing one
            }
            std::optional<Term> term = readTerm();
            if (!term)
                continue;
            term->negated = negated;
            terms.push_back(std::move(*term));
        }
        return terms;
    }

private:
    bool skipSpaces()
    {
        while (FAt < FText.size() && FText[FAt].isSpace())
            ++FAt;
        return FAt < FText.size();
    }

    bool atSpaceOrEnd() const { return FAt >= FText.size() || FText[FAt].isSpace(); }

    // A quoted stretch, starting at the opening quote; an unclosed quote runs to the end.
    QString readQuoted()
    {
        const qsizetype start = ++FAt;
        while (FAt < FText.size() && !isQuote(FText[FAt]))
            ++FAt;
        const QString text = FText.mid(start, FAt - start);
        if (FAt < FText.size())
            ++FAt;
        return text;
    }

    QString readWord()
    {
        const qsizetype start = FAt;
        while (!atSpaceOrEnd())
            ++FAt;
        return FText.mid(start, FAt - start);
    }

    std::optional<Term> textTerm(const QString& text) const
    {
        if (text.isEmpty())
            return std::nullopt;
        Term term;
        term.kind = TermKind::Text;
        term.needle = FFolding.fold(text);
        return term;
    }

    std::optional<Term> readTerm()
    {
        if (isQuote(FText[FAt]))
            return textTerm(readQuoted());
        qsizetype end = FAt;
        while (end < FText.size() && isAsciiLetter(FText[end]))
            ++end;
        if (end == FAt || end >= FText.size() || FText[end] != u':')
            return textTerm(readWord());
        const QString name = FText.mid(FAt, end - FAt).toLower();
        const QString typed = FText.mid(FAt, end - FAt + 1);
        FAt = end + 1;
        const QString value = FAt < FText.size() && isQuote(FText[FAt]) ? readQuoted() : readWord();
        if (name == QLatin1String("category") || name == QLatin1String("c"))
            return categoryTerm(value);
        if (name == QLatin1String("priority") || name == QLatin1String("p"))
            return priorityTerm(typed, value);
        if (name == QLatin1String("due"))
            return dateTerm(TermKind::Due, typed, value);
        if (name == QLatin1String("done"))
            return dateTerm(TermKind::Done, typed, value);
        throw QueryError(QStringLiteral("Unknown filter %1. The filters are %2.")
                             .arg(quoted(typed), KnownFilters));
    }

    Term categoryTerm(const QString& value) const
    {
        Term term;
        term.kind = TermKind::Category;
        term.needle = FFolding.fold(value); // empty: no category
        return term;
    }

    static Term priorityTerm(const QString& typed, const QString& value)
    {
        const QString v = value.toLower();
        Term term;
        term.kind = TermKind::Priority;
        if (v == QLatin1String("high") || v == QLatin1String("h"))
            term.priority = 0;
        else if (v == QLatin1String("normal") || v == QLatin1String("n"))
            term.priority = 1;
        else if (v == QLatin1String("low") || v == QLatin1String("l"))
            term.priority = 2;
        else if (v.isEmpty())
            throw QueryError(
                QStringLiteral("%1 needs a priority: high, normal or low (or h, n, l).")
                    .arg(quoted(typed)));
        else
            throw QueryError(
                QStringLiteral("%1 is not a priority. Use high, normal or low (or h, n, l).")
                    .arg(quoted(typed + value)));
        return term;
    }

    static double readDate(const QString& text)
    {
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid() || text.size() != 10)
            throw QueryError(
                QStringLiteral(
                    "%1 is not a date. Write dates as YYYY-MM-DD, for example 2026-03-31.")
                    .arg(quoted(text)));
        return EncodeDateTime(date);
    }

    static Term dateTerm(TermKind kind, const QString& typed, const QString& value)
    {
        const bool due = kind == TermKind::Due;
        const QString words = due ? QStringLiteral("overdue, today, tomorrow, week, none")
                                  : QStringLiteral("today, week");
        const QString forms =
            QStringLiteral("%1, a date as YYYY-MM-DD, or <YYYY-MM-DD or >YYYY-MM-DD for before "
                           "or after it")
                .arg(words);
        if (value.isEmpty())
            throw QueryError(QStringLiteral("%1 needs %2.").arg(quoted(typed), forms));
        Term term;
        term.kind = kind;
        const QString v = value.toLower();
        if (v == QLatin1String("today")) {
            term.test = DateTest::Today;
        } else if (v == QLatin1String("week")) {
            term.test = due ? DateTest::Week : DateTest::Recent;
        } else if (due && v == QLatin1String("overdue")) {
            term.test = DateTest::Overdue;
        } else if (due && v == QLatin1String("tomorrow")) {
            term.test = DateTest::Tomorrow;
        } else if (due && v == QLatin1String("none")) {
            term.test = DateTest::None;
        } else if (value == QLatin1String("<") || value == QLatin1String(">")) {
            throw QueryError(QStringLiteral("%1 needs a date after it, written as YYYY-MM-DD.")
                                 .arg(quoted(typed + value)));
        } else if (value.front() == u'<' || value.front() == u'>') {
            term.test = value.front() == u'<' ? DateTest::Before : DateTest::After;
            term.day = readDate(value.mid(1));
        } else if (value.front().isDigit()) {
            term.test = DateTest::On;
            term.day = readDate(value);
        } else {
            throw QueryError(QStringLiteral("%1 is not understood. After %2 write %3.")
                                 .arg(quoted(typed + value), quoted(typed), forms));
        }
        return term;
    }

    const QString& FText;
    const SearchFolding& FFolding;
    qsizetype FAt = 0;
};

bool dateHolds(DateTest test, double value, double day, double today)
{
    if (test == DateTest::None)
        return value == NullDate;
    if (value == NullDate)
        return false;
    const double d = DateOf(value);
    switch (test) {
    case DateTest::Overdue:
        return d < today;
    case DateTest::Today:
        return d == today;
    case DateTest::Tomorrow:
        return d == today + 1;
    case DateTest::Week:
        return d >= today && d <= today + 6;
    case DateTest::Recent:
        return d >= today - 6 && d <= today;
    case DateTest::On:
        return d == day;
    case DateTest::Before:
        return d < day;
    case DateTest::After:
        return d > day;
    case DateTest::None:
        break;
    }
    return false;
}

// The task's three texts, folded on first use.
class TaskTexts {
public:
    TaskTexts(const TaskValues& task, const SearchFolding& folding) : FTask(task), FFolding(folding)
    {
    }
    const SearchText& title() { return get(FTitle, FTask.title); }
    const SearchText& category() { return get(FCategory, FTask.category); }
    const SearchText& details() { return get(FDetails, FTask.details); }

private:
    const SearchText& get(std::optional<SearchText>& slot, const QString& text)
    {
        if (!slot)
            slot.emplace(text, FFolding);
        return *slot;
    }
    const TaskValues& FTask;
    const SearchFolding& FFolding;
    std::optional<SearchText> FTitle, FCategory, FDetails;
};

} // namespace

TaskQuery::TaskQuery() : FFolding(std::make_shared<SearchFolding>())
{
}
TaskQuery::~TaskQuery() = default;
TaskQuery::TaskQuery(const TaskQuery&) = default;
TaskQuery& TaskQuery::operator=(const TaskQuery&) = default;

TaskQuery TaskQuery::Parse(const QString& text, const QLocale& locale)
{
    TaskQuery query;
    query.FFolding = std::make_shared<SearchFolding>(locale);
    query.FText = text.trimmed();
    query.FTerms = QueryReader(query.FText, *query.FFolding).terms();
    return query;
}

bool TaskQuery::isEmpty() const
{
    return FTerms.empty();
}

bool TaskQuery::Matches(const TaskValues& task, double today, TaskMarks* marks) const
{
    TaskTexts texts(task, *FFolding);
    for (const Term& term : FTerms) {
        bool holds = false;
        switch (term.kind) {
        case TermKind::Text:
            holds = texts.title().contains(term.needle) || texts.category().contains(term.needle) ||
                    texts.details().contains(term.needle);
            break;
        case TermKind::Category:
            holds = term.needle.isEmpty() ? task.category.isEmpty()
                                          : texts.category().startsWith(term.needle);
            break;
        case TermKind::Priority:
            holds = task.priority == term.priority;
            break;
        case TermKind::Due:
            holds = dateHolds(term.test, task.deadline, term.day, today);
            break;
        case TermKind::Done:
            holds = dateHolds(term.test, task.completed, term.day, today);
            break;
        }
        if (holds == term.negated)
            return false;
    }
    if (!marks)
        return true;

    marks->clear();
    for (const Term& term : FTerms) {
        if (term.negated)
            continue;
        if (term.kind == TermKind::Text) {
            texts.title().findAll(term.needle, marks->title);
            texts.category().findAll(term.needle, marks->category);
            texts.details().findAll(term.needle, marks->details);
        } else if (term.kind == TermKind::Category && !term.needle.isEmpty()) {
            marks->category.push_back(texts.category().original(0, term.needle.size()));
        }
    }
    MergeRanges(marks->title);
    MergeRanges(marks->category);
    MergeRanges(marks->details);
    return true;
}
