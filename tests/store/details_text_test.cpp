// Line breaks in details: as the list stores them, and as others write them.

#include "store/details_text.h"

#include <gtest/gtest.h>

TEST(DetailsTextTest, EveryLineBreakBecomesOneKind)
{
    struct Case {
        QString text;
        QString crLf;
        QString lf;
    };
    const Case cases[] = {
        {"one line", "one line", "one line"},
        {"a\r\nb", "a\r\nb", "a\nb"},
        {"a\nb\n", "a\r\nb\r\n", "a\nb\n"},
        {"a\rb", "a\r\nb", "a\nb"},
        {QStringLiteral("a\u2029b"), "a\r\nb", QStringLiteral("a\u2029b")},
        {"a\n\r\nb\r\r", "a\r\n\r\nb\r\n\r\n", "a\n\nb\n\n"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetailsWithCrLf(c.text), c.crLf) << c.text.toStdString();
        EXPECT_EQ(DetailsWithLf(c.text), c.lf) << c.text.toStdString();
    }
}
