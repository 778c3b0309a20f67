#include "qstring_printer.h"
#include "view/link_grammar.h"
#include "view/view_error.h"

#include <gtest/gtest.h>

namespace {
TEST(LinkGrammar, Classification)
{
    struct Case {
        QString src;
        TLinkKind kind;
        TActionKind action;
        int recIndex;
    };
    const Case cases[] = {
        {"qmk:createlist", TLinkKind::CreateList, TActionKind::Edit, 0},
        {"QMK:createlist", TLinkKind::Other, TActionKind::Edit, 0}, // exact text only
        {"qmk:createlist ", TLinkKind::Other, TActionKind::Edit, 0},
        {"act:done/3", TLinkKind::Action, TActionKind::Done, 3},
        {"ACT:UNDO/5", TLinkKind::Action, TActionKind::Undo, 5},
        {"Act:DoAgain/12", TLinkKind::Action, TActionKind::DoAgain, 12},
        {"act:menu/7", TLinkKind::Action, TActionKind::More, 7},
        {"act:edit", TLinkKind::Action, TActionKind::Edit, 0},                      // no number
        {"act:edit/", TLinkKind::Action, TActionKind::Edit, 0},                     // empty number
        {"act:edit/12345678901", TLinkKind::Action, TActionKind::Edit, 1234567890}, // 10 read
        {"act:edit/9999999999", TLinkKind::Action, TActionKind::Edit, 0}, // beyond 32 bits
        {"act:edit/2147483647", TLinkKind::Action, TActionKind::Edit, 2147483647},
        {"act:done/-4", TLinkKind::Action, TActionKind::Done, -4},
        {"act:done/+4", TLinkKind::Action, TActionKind::Done, 4},
        {"act:done/7x", TLinkKind::Action, TActionKind::Done, 0},  // malformed
        {"act:done/3/4", TLinkKind::Action, TActionKind::Done, 0}, // first "/" counts
        {"act:done/ 3", TLinkKind::Action, TActionKind::Done, 0},
        {"act:editor/2", TLinkKind::Action, TActionKind::Edit, 2}, // word is a prefix
        {"http://example.com", TLinkKind::Web, TActionKind::Edit, 0},
        {"HTTPS://example.com", TLinkKind::Web, TActionKind::Edit, 0},
        {"httpish", TLinkKind::Web, TActionKind::Edit, 0},
        {"ftp://example.com", TLinkKind::Other, TActionKind::Edit, 0},
        {"", TLinkKind::Other, TActionKind::Edit, 0},
        {"acts:done/1", TLinkKind::Other, TActionKind::Edit, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.src.toStdString());
        const TLinkTarget target = ParseLink(c.src);
        EXPECT_EQ(target.kind, c.kind);
        if (c.kind == TLinkKind::Action) {
            EXPECT_EQ(target.action, c.action);
            EXPECT_EQ(target.recIndex, c.recIndex);
        }
    }
}

TEST(LinkGrammar, UnknownActionWordRaises)
{
    for (const QString& src : {QString("act:frob/1"), QString("act:"), QString("ACT:ed/1")}) {
        try {
            ParseLink(src);
            ADD_FAILURE() << "no error for " << src.toStdString();
        } catch (const ViewError& e) {
            EXPECT_EQ(e.message(), "Unknown action URI (" + src + ")");
        }
        EXPECT_THROW(LinkHover(src, tvfUncompleted), ViewError);
    }
}

TEST(LinkGrammar, HoverTexts)
{
    struct Case {
        QString src;
        TTaskViewFilter filter;
        QString hint;
        QString statusText;
    };
    const Case cases[] = {
        {"act:edit/1", tvfUncompleted, "Edit this task", ""},
        {"act:done/2", tvfUncompleted, "Mark this task Complete", ""},
        {"act:doagain/3", tvfUncompleted, "Mark this task Complete and Do Again", ""},
        {"act:doagain/3", tvfCompleted, "Do this task again", ""},
        {"ACT:MENU/4", tvfCompleted, "More Task options", ""},
        {"act:undo/5", tvfCompleted, "Mark this task Uncomplete (\"undo\")", ""},
        {"https://a.org/x", tvfUncompleted, "", "Open link in web browser: https://a.org/x"},
        {"Http://b", tvfCompleted, "", "Open link in web browser: Http://b"},
        {"qmk:createlist", tvfUncompleted, "", ""},
        {"", tvfUncompleted, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.src.toStdString());
        const TLinkHover hover = LinkHover(c.src, c.filter);
        EXPECT_EQ(hover.hint, c.hint);
        EXPECT_EQ(hover.statusText, c.statusText);
    }
}
} // namespace
