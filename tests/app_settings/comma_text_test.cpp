#include "app/comma_text.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* text;
    QStringList entries;
};

TEST(CommaText, Parses)
{
    const ParseCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a,,b", {"a", "", "b"}},
        {"a,b,", {"a", "b", ""}},
        {",", {"", ""}},
        {",a", {"", "a"}},
        {"\"\"", {""}},
        {" a , b ", {" a ", " b "}},
        {"a\tb,c d", {"a\tb", "c d"}},
        {"\"x,y\",z", {"x,y", "z"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"unclosed, to the end", {"unclosed, to the end"}},
        {"\"ends in doubled \"\"", {"ends in doubled \""}},
        {"\"a\"b,c", {"a", "b", "c"}},
        {"\"a\"\"\"x", {"a\"", "x"}},
        {"\"a\",", {"a", ""}},
        {"a\"b", {"a\"b"}},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(ParseCommaText(QString::fromUtf8(c.text)), c.entries) << c.text;
}

struct WriteCase {
    QStringList entries;
    const char* text;
};

TEST(CommaText, WritesAndReadsBack)
{
    const WriteCase cases[] = {
        {{}, ""},
        {{""}, "\"\""},
        {{"", ""}, ","},
        {{"a", "", "b"}, "a,,b"},
        {{"a", "b", ""}, "a,b,"},
        {{"/home/me/Work, old.qmtd", "b"}, "\"/home/me/Work, old.qmtd\",b"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"C:\\My Lists\\a.qmtd"}, "C:\\My Lists\\a.qmtd"},
        {{"\"", ","}, "\"\"\"\",\",\""},
    };
    for (const WriteCase& c : cases) {
        EXPECT_EQ(CommaText(c.entries), QString::fromUtf8(c.text)) << c.text;
        EXPECT_EQ(ParseCommaText(CommaText(c.entries)), c.entries) << c.text;
    }
}

} // namespace
