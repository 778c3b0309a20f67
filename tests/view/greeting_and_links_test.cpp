#include "qstring_printer.h"
#include "view/action_links.h"
#include "view/greeting_page.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
TEST(GreetingPage, WholeText)
{
    const QString expected =
        "<html>\r\n"
        "<header>\r\n"
        "<style type=\"text/css\"><!--\r\n"
        "SHEET\r\n"
        "--></style>\r\n"
        "</header>\r\n"
        "<body style=\"margin:10px\">\r\n"
        "Welcome to <b><i>Quillmark</i></b>! <p><a href=\"qmk:createlist\">Start your to-do list "
        "now.</a> <p>You'll be asked what to call the data file. You may want to create more than "
        "one to-do list, so be sure to give it a descriptive name. <p>(You can always create a new "
        "list by selecting <i>New To-Do List</i> on the <i>File</i> menu.)  \r\n"
        "</body></html>\r\n";
    EXPECT_EQ(GreetingPageText("SHEET"), expected);
}

TEST(ActionLinks, PathsAndLinks)
{
    const ActionImagePaths paths = SetActionImagePaths("/opt/qm/bin/");
    EXPECT_EQ(paths.ImgEditTask, "/opt/qm/bin/Theme/edittask.png");
    EXPECT_EQ(paths.ImgTaskDone, "/opt/qm/bin/Theme/taskdone.png");
    EXPECT_EQ(paths.ImgDoTaskAgain, "/opt/qm/bin/Theme/dotaskagain.png");
    EXPECT_EQ(paths.ImgMore, "/opt/qm/bin/Theme/more.png");
    EXPECT_EQ(paths.ImgUndoTask, "/opt/qm/bin/Theme/undotask.png");

    const struct {
        TActionKind kind;
        const char* link;
    } cases[] = {
        {TActionKind::Edit, "<a href=\"act:edit/12\" class=\"button\"><img "
                            "src=\"/opt/qm/bin/Theme/edittask.png\" border=\"0\"></a>"},
        {TActionKind::Done, "<a href=\"act:done/12\" class=\"button\"><img "
                            "src=\"/opt/qm/bin/Theme/taskdone.png\" border=\"0\"></a>"},
        {TActionKind::DoAgain, "<a href=\"act:doagain/12\" class=\"button\"><img "
                               "src=\"/opt/qm/bin/Theme/dotaskagain.png\" border=\"0\"></a>"},
        {TActionKind::More, "<a href=\"act:menu/12\" class=\"button\"><img "
                            "src=\"/opt/qm/bin/Theme/more.png\" border=\"0\"></a>"},
        {TActionKind::Undo, "<a href=\"act:undo/12\" class=\"button\"><img "
                            "src=\"/opt/qm/bin/Theme/undotask.png\" border=\"0\"></a>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ActionLink(c.kind, 12, paths), c.link);
}

TEST(ActionLinks, ImagesAreBuiltBesideTheExecutables)
{
    // Every executable lands in one folder; the page's images must sit in Theme/ beside it.
    const ActionImagePaths paths = SetActionImagePaths(QM_RUNTIME_DIR);
    for (const QString& path : {paths.ImgEditTask, paths.ImgTaskDone, paths.ImgDoTaskAgain,
                                paths.ImgMore, paths.ImgUndoTask}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_TRUE(file.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8)) << path.toStdString();
    }
}
} // namespace
