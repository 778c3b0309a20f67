#include "qstring_printer.h"
#include "task_table_builder.h"
#include "view/match_marks.h"
#include "view/task_query.h"

#include <gtest/gtest.h>

namespace {

// Not a constant: the date conversion is not ready while constants are made.
double theDay()
{
    return Day(2026, 3, 15);
}

struct Named {
    const char* name; // a short name for the expectations
    TaskValues task;
};

// A small list: accents and ß in the texts, every priority, deadlines around the day, three
// completed tasks.
const std::vector<Named>& tasks()
{
    static const std::vector<Named> list = {
        {"milk", {"Buy milk", "Home", "Café au lait for Zoë", theDay(), 1, NullDate}},
        {"call",
         {"Call Straße office", "Work", "Ask about the İstanbul trip", theDay() - 1, 0, NullDate}},
        {"bike",
         {"Fix bike", "", "Chain & gears, see https://bike.example/a?b=1&c=2", NullDate, 2,
          NullDate}},
        {"garden", {"Plan garden", "Home office", "", theDay() + 1, 1, NullDate}},
        {"book", {"Read book", "Books", "", Day(2026, 3, 21), 2, At(2026, 3, 15, 10, 0)}},
        {"rent", {"Pay rent", "Money", "", Day(2026, 3, 30), 0, At(2026, 3, 10, 8, 0)}},
        {"tax", {"Old tax", "Money", "", Day(2026, 1, 1), 1, At(2026, 2, 1, 8, 0)}},
    };
    return list;
}

QString matching(const QString& query, const QLocale& locale = QLocale(QLocale::English))
{
    const TaskQuery q = TaskQuery::Parse(query, locale);
    QStringList names;
    for (const Named& t : tasks())
        if (q.Matches(t.task, theDay()))
            names.append(QString::fromLatin1(t.name));
    return names.join(QLatin1Char(' '));
}

TEST(TaskQuery, MatchesTheTasksItShould)
{
    const char* all = "milk call bike garden book rent tax";
    const std::pair<const char*, const char*> cases[] = {
        // Words: every word, anywhere in title, category or details, any case, any accent.
        {"milk", "milk"},
        {"MILK", "milk"},
        {"cafe", "milk"},
        {"CAFÉ", "milk"},
        {"zoe", "milk"},
        {"strasse", "call"},
        {"STRASSE", "call"},
        {"istanbul", "call"},
        {"buy milk", "milk"},
        {"milk   buy", "milk"},
        {"buy bike", ""},
        {"home", "milk garden"},
        {"bike.example", "bike"},
        {"&c=2", "bike"},
        // Phrases.
        {"\"buy milk\"", "milk"},
        {"\"milk buy\"", ""},
        {"\u201Cbuy milk\u201D", "milk"},
        {"\"au lait\" zoe", "milk"},
        {"\"https://bike\"", "bike"},
        {"\"buy mi", "milk"}, // an unclosed quote runs to the end, as while typing
        // Categories: the category starts with the name.
        {"c:home", "milk garden"},
        {"category:HOME", "milk garden"},
        {"Category:Home", "milk garden"},
        {"c:\"home off\"", "garden"},
        {"c:ome", ""},
        {"c:", "bike"},
        {"-c:", "milk call garden book rent tax"},
        {"c:mon", "rent tax"},
        // Priorities.
        {"p:h", "call rent"},
        {"priority:high", "call rent"},
        {"P:N", "milk garden tax"},
        {"priority:low", "bike book"},
        {"p:l", "bike book"},
        // Deadlines.
        {"due:overdue", "call tax"},
        {"due:today", "milk"},
        {"due:tomorrow", "garden"},
        {"due:week", "milk garden book"},
        {"due:none", "bike"},
        {"-due:none", "milk call garden book rent tax"},
        {"due:<2026-03-15", "call tax"},
        {"due:>2026-03-21", "rent"},
        {"due:2026-03-16", "garden"},
        {"DUE:TODAY", "milk"},
        // Completion.
        {"done:today", "book"},
        {"done:week", "book rent"},
        {"done:<2026-03-01", "tax"},
        {"done:>2026-03-09", "book rent"},
        {"done:2026-03-10", "rent"},
        // Negation and combinations.
        {"-milk", "call bike garden book rent tax"},
        {"-c:home", "call bike book rent tax"},
        {"-\"au lait\"", "call bike garden book rent tax"},
        {"p:h due:overdue", "call"},
        {"c:money -done:week", "tax"},
        {"home -office", "milk"},
        // Nothing to filter by.
        {"", all},
        {"   ", all},
        {"-", all},
        {"- milk", "milk"},
        {"\"\"", all},
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(matching(QString::fromUtf8(query)), QString::fromLatin1(expected)) << query;
}

TEST(TaskQuery, LowerCasesByTheLocale)
{
    // In Turkish, I lower-cases to a dotless ı and İ to i.
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    EXPECT_EQ(matching(QStringLiteral("istanbul"), turkish), QStringLiteral("call"));
    EXPECT_EQ(matching(QStringLiteral("İSTANBUL"), turkish), QStringLiteral("call"));
    EXPECT_EQ(matching(QStringLiteral("ISTANBUL"), turkish), QString());
    EXPECT_EQ(matching(QStringLiteral("ISTANBUL")), QStringLiteral("call"));
    EXPECT_EQ(matching(QStringLiteral("MİLK"), turkish), QStringLiteral("milk"));
    EXPECT_EQ(matching(QStringLiteral("MILK"), turkish), QString());
    EXPECT_EQ(matching(QStringLiteral("BUY"), turkish), QStringLiteral("milk"));
}

TEST(TaskQuery, BadQueriesSayWhy)
{
    const std::pair<const char*, const char*> cases[] = {
        {"foo:bar",
         "Unknown filter “foo:”. The filters are category: (c:), priority: (p:), due: and done:; "
         "put other text with a colon in quotes to find it."},
        {"milk https://example.org",
         "Unknown filter “https:”. The filters are category: (c:), priority: (p:), due: and "
         "done:; put other text with a colon in quotes to find it."},
        {"p:urgent", "“p:urgent” is not a priority. Use high, normal or low (or h, n, l)."},
        {"priority:", "“priority:” needs a priority: high, normal or low (or h, n, l)."},
        {"due:soon",
         "“due:soon” is not understood. After “due:” write overdue, today, tomorrow, week, none, "
         "a date as YYYY-MM-DD, or <YYYY-MM-DD or >YYYY-MM-DD for before or after it."},
        {"due:", "“due:” needs overdue, today, tomorrow, week, none, a date as YYYY-MM-DD, or "
                 "<YYYY-MM-DD or >YYYY-MM-DD for before or after it."},
        {"done:overdue",
         "“done:overdue” is not understood. After “done:” write today, week, a date as "
         "YYYY-MM-DD, or <YYYY-MM-DD or >YYYY-MM-DD for before or after it."},
        {"due:2026-02-30",
         "“2026-02-30” is not a date. Write dates as YYYY-MM-DD, for example 2026-03-31."},
        {"due:<2026-3-1",
         "“2026-3-1” is not a date. Write dates as YYYY-MM-DD, for example 2026-03-31."},
        {"done:>", "“done:>” needs a date after it, written as YYYY-MM-DD."},
        {"-x:1", "Unknown filter “x:”. The filters are category: (c:), priority: (p:), due: and "
                 "done:; put other text with a colon in quotes to find it."},
    };
    for (const auto& [query, message] : cases) {
        try {
            TaskQuery::Parse(QString::fromUtf8(query));
            ADD_FAILURE() << "no error for " << query;
        } catch (const QueryError& e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(message)) << query;
        }
    }
    // Colons that follow no prefix name are plain text.
    EXPECT_NO_THROW(TaskQuery::Parse(QStringLiteral("10:30 :x a-b:")));
}

TEST(TaskQuery, MarksWhereTheWordsAre)
{
    const TaskValues task{"Buy milk, more milk",
                          "Home office",
                          "Caf\u00E9 au lait; cafe\u0301 noir",
                          NullDate,
                          1,
                          NullDate};
    struct Case {
        const char* query;
        std::vector<TextRange> title, category, details;
    };
    const Case cases[] = {
        {"milk", {{4, 8}, {15, 19}}, {}, {}},
        // Overlapping and touching stretches are joined.
        {"mil ilk", {{4, 8}, {15, 19}}, {}, {}},
        {"buy \"y mi\"", {{0, 6}}, {}, {}},
        // A decomposed accent belongs to the letter it follows.
        {"cafe", {}, {}, {{0, 4}, {14, 19}}},
        {"c:home o", {{11, 12}}, {{0, 4}, {5, 6}}, {{21, 22}}},
        // A negated word marks nothing; prefixes other than the category mark nothing.
        {"milk -noir2 p:n", {{4, 8}, {15, 19}}, {}, {}},
    };
    for (const Case& c : cases) {
        const TaskQuery query = TaskQuery::Parse(QString::fromUtf8(c.query));
        TaskMarks marks;
        ASSERT_TRUE(query.Matches(task, theDay(), &marks)) << c.query;
        EXPECT_EQ(marks.title, c.title) << c.query;
        EXPECT_EQ(marks.category, c.category) << c.query;
        EXPECT_EQ(marks.details, c.details) << c.query;
    }
}

TEST(MatchMarks, TextIsEscapedAroundTheMarks)
{
    QString out;
    AppendMarkedText(out, QStringLiteral("R&D <lab> \"x\""), {{0, 3}, {5, 8}});
    EXPECT_EQ(out, QStringLiteral("<span class=\"match\">R&amp;D</span> &lt;<span "
                                  "class=\"match\">lab</span>&gt; &quot;x&quot;"));
}

TEST(MatchMarks, MarksKeepLinksAndEntitiesWhole)
{
    const QString text = QStringLiteral("See https://a.example/?x=1&y=2 now\r\nok & <done>");
    const QString html = QStringLiteral(
        "See <a href=\"https://a.example/?x=1&y=2\">https://a.example/?x=1&amp;y=2</a>"
        " now<br>ok &amp; &lt;done&gt;");
    struct Case {
        std::vector<TextRange> marks;
        const char* expected;
    };
    const Case cases[] = {
        // Inside the link's text; the address in the href stays as it was.
        {{{12, 19}},
         "See <a href=\"https://a.example/?x=1&y=2\">https://<span "
         "class=\"match\">a.examp</span>le/?x=1&amp;y=2</a> now<br>ok &amp; &lt;done&gt;"},
        // Across the link's start and end: closed before each tag, opened after it.
        {{{0, 10}, {28, 34}},
         "<span class=\"match\">See </span><a href=\"https://a.example/?x=1&y=2\"><span "
         "class=\"match\">https:</span>//a.example/?x=1&amp;y<span "
         "class=\"match\">=2</span></a><span "
         "class=\"match\"> now</span><br>ok &amp; &lt;done&gt;"},
        // Entities are marked whole; across a line break.
        {{{26, 27}, {39, 40}, {41, 46}},
         "See <a href=\"https://a.example/?x=1&y=2\">https://a.example/?x=1<span "
         "class=\"match\">&amp;</span>y=2</a> now<br>ok <span class=\"match\">&amp;</span> <span "
         "class=\"match\">&lt;done</span>&gt;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkHtml(html, text, c.marks), QString::fromUtf8(c.expected));
    // Markup that does not spell out the text comes back unmarked.
    EXPECT_EQ(MarkHtml(QStringLiteral("<b>other</b>"), QStringLiteral("text"), {{0, 2}}),
              QStringLiteral("<b>other</b>"));
    EXPECT_EQ(MarkHtml(html, text, {}), html);
}

} // namespace
