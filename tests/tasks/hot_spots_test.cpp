// Clicks on the page's links and the pointer over them.
#include "task_ops_fixture.h"
#include "tasks/tagged_menu.h"
#include "view/view_error.h"

#include <QCursor>
#include <QTest>
#include <QToolTip>

namespace {

// A viewport point over the link with this target, or (-1, -1).
QPoint findLink(HtmlView& view, const QString& target)
{
    const QSize size = view.viewport()->size();
    for (int y = 0; y < size.height(); y += 2)
        for (int x = 0; x < size.width(); x += 2)
            if (view.linkAt(QPoint(x, y)) == target)
                return QPoint(x, y);
    return QPoint(-1, -1);
}

} // namespace

class HotSpotTest : public TaskOpsTest {
protected:
    void SetUp() override
    {
        TaskOpsTest::SetUp();
        addTasks({
            {"First", "", At(2026, 1, 1), At(2026, 3, 20), 1, NullDate,
             "See https://example.org/a?b=1 for more"},
            {"Second", "", At(2026, 1, 2), NullDate, 1, NullDate, ""},
            {"Third", "", At(2026, 1, 3), NullDate, 1, NullDate, ""},
            {"Fourth", "", At(2026, 1, 4), NullDate, 1, At(2026, 3, 1), ""},
            {"Fifth", "", At(2026, 1, 5), NullDate, 1, At(2026, 3, 2), ""},
        });
        host->sortMode = smCreated; // newest first
        showPage();
        QObject::connect(host->viewer, &HtmlView::hotSpotClick, host.get(),
                         [this](const QString& target, bool* handled) {
                             clicks.append(target);
                             try {
                                 ops->TaskViewerHotSpotClick(target, *handled);
                             } catch (const std::exception& e) {
                                 errors.append(QString::fromStdString(e.what()));
                             }
                         });
        QObject::connect(host->viewer, &HtmlView::hotSpotCovered, host.get(),
                         [this](const QString& target) {
                             covered.append(target);
                             ops->TaskViewerHotSpotCovered(target);
                         });
    }

    // Runs a click handler directly; returns the error text, empty when none.
    QString click(const QString& target, bool& handled)
    {
        handled = false;
        try {
            ops->TaskViewerHotSpotClick(target, handled);
        } catch (const std::exception& e) {
            return QString::fromStdString(e.what());
        }
        return {};
    }

    QStringList clicks;
    QStringList covered;
    QStringList errors;
};

TEST_F(HotSpotTest, ClickingADoneButtonInTheViewCompletesThatTask)
{
    host->show();
    const int rec = recOf("Second");
    const QString link = QString("act:done/%1").arg(rec);
    const QPoint at = findLink(*host->viewer, link);
    ASSERT_NE(at, QPoint(-1, -1)) << "no " << link.toStdString() << " on the page";
    const QString source = host->viewer->documentSource();
    QTest::mouseClick(host->viewer->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(clicks, QStringList{link});
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_NE(taskAt(recOf("Second")).completed, NullDate);
    const std::vector<Task> all = allTasks();
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const Task& t) { return t.completed != NullDate; }),
              3);
    EXPECT_NE(host->viewer->documentSource(), source); // a new page, not the link's target
}

TEST_F(HotSpotTest, ClickingAWebLinkInTheDetailsOpensIt)
{
    host->show();
    const QString url = "https://example.org/a?b=1";
    const QPoint at = findLink(*host->viewer, url);
    ASSERT_NE(at, QPoint(-1, -1));
    QTest::mouseClick(host->viewer->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(opened, QStringList{url});
}

TEST_F(HotSpotTest, HoveringAButtonShowsItsHintUntilThePointerLeaves)
{
    host->show();
    const QString link = QString("act:doagain/%1").arg(recOf("Second"));
    const QPoint at = findLink(*host->viewer, link);
    ASSERT_NE(at, QPoint(-1, -1));
    QTest::mouseMove(host->viewer->viewport(), at);
    ASSERT_FALSE(covered.isEmpty());
    EXPECT_EQ(covered.back(), link);
    EXPECT_EQ(host->status, "Mark this task Complete and Do Again");
    EXPECT_EQ(ops->CurrentHint(), "Mark this task Complete and Do Again");
    EXPECT_EQ(QToolTip::text(), "Mark this task Complete and Do Again");

    QTest::mouseMove(host->viewer->viewport(),
                     QPoint(at.x(), host->viewer->viewport()->height() - 2));
    EXPECT_EQ(covered.back(), "");
    EXPECT_EQ(host->status, "");
    EXPECT_EQ(ops->CurrentHint(), "");
    // The tooltip hides after its short fade.
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

TEST_F(HotSpotTest, ClickCases)
{
    const int second = recOf("Second");
    struct Case {
        QString link;
        QString done;   // title expected completed afterwards, if any
        QString undone; // title expected uncompleted afterwards, if any
        int newListRuns;
        QString error; // start of the expected error message
        QString opened;
    };
    const Case cases[] = {
        {QString("act:done/%1").arg(second), "Second", "", 0, "", ""},
        {QString("ACT:UNDO/%1").arg(second), "", "Second", 0, "", ""},
        {QString("Act:Done/%1").arg(second), "Second", "", 0, "", ""},
        {QString("act:undo/+%1").arg(second), "", "Second", 0, "", ""},
        {"qmk:createlist", "", "", 1, "", ""},
        {"QMK:CREATELIST", "", "", 0, "", ""},
        {"act:done", "", "", 0, "There is no task with record index 0", ""},
        {"act:done/x1", "", "", 0, "There is no task with record index 0", ""},
        {"act:done/000000000012", "", "", 0, "There is no task with record index 0", ""},
        {"act:done/99", "", "", 0, "There is no task with record index 99", ""},
        {"act:frobnicate/1", "", "", 0, "Unknown action URI (act:frobnicate/1)", ""},
        {"HTTPS://Example.org/X", "", "", 0, "", "HTTPS://Example.org/X"},
        {"http://a.b", "", "", 0, "", "http://a.b"},
        {"mailto:someone@example.org", "", "", 0, "", ""},
        {"ftp://example.org", "", "", 0, "", ""},
        {"", "", "", 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        showPage();
        const std::vector<Task> before = allTasks();
        const int runs = host->newListRuns;
        opened.clear();
        bool handled = false;
        const QString error = click(c.link, handled);
        EXPECT_TRUE(handled);
        EXPECT_EQ(host->newListRuns - runs, c.newListRuns);
        if (c.error.isEmpty())
            EXPECT_EQ(error, "");
        else
            EXPECT_TRUE(error.startsWith(c.error)) << error.toStdString();
        EXPECT_EQ(opened, c.opened.isEmpty() ? QStringList{} : QStringList{c.opened});
        std::vector<Task> expected = before;
        for (Task& t : expected) {
            if (t.title == c.done)
                t.completed = At(2026, 3, 15, 10);
            if (t.title == c.undone)
                t.completed = NullDate;
        }
        EXPECT_EQ(allTasks(), expected);
    }
}

TEST_F(HotSpotTest, EleventhDigitIsCutOff)
{
    // "act:done/00000000031" reads "0000000003": record index 3.
    showPage();
    const QString title = taskAt(3).title;
    ASSERT_EQ(taskAt(3).completed, NullDate) << title.toStdString();
    bool handled = false;
    EXPECT_EQ(click("act:done/00000000031", handled), "");
    EXPECT_NE(taskAt(recOf(title)).completed, NullDate);
}

TEST_F(HotSpotTest, EditAndMenuLinks)
{
    const int second = recOf("Second");
    bool handled = false;
    int shows = 0;
    answerEdit([&](TFormTaskEdit&) { ++shows; }, false);
    EXPECT_EQ(click(QString("act:edit/%1").arg(second), handled), "");
    EXPECT_EQ(shows, 1);

    QCursor::setPos(QPoint(120, 140));
    const QPoint pointer = QCursor::pos();
    EXPECT_EQ(click(QString("act:doagain/%1").arg(second), handled), "");
    EXPECT_TRUE(ops->PopupMenuDoAgain->isVisible());
    EXPECT_EQ(ops->PopupMenuDoAgain->Tag, second);
    EXPECT_EQ(ops->PopupMenuDoAgain->pos(), pointer);
    ops->PopupMenuDoAgain->hide();

    EXPECT_EQ(click(QString("act:menu/%1").arg(second), handled), "");
    EXPECT_TRUE(ops->PopupMenuMore->isVisible());
    EXPECT_EQ(ops->PopupMenuMore->Tag, second);
    ops->PopupMenuMore->hide();
    // Opening a menu changes nothing by itself.
    EXPECT_EQ(taskAt(second).completed, NullDate);
}

TEST_F(HotSpotTest, HoverCases)
{
    struct Case {
        TTaskViewFilter filter;
        QString link;
        QString hint;   // tooltip and status bar
        QString status; // status bar when there is no hint
        bool error;
    };
    const Case cases[] = {
        {tvfUncompleted, "act:edit/1", "Edit this task", "", false},
        {tvfUncompleted, "act:done/1", "Mark this task Complete", "", false},
        {tvfUncompleted, "act:doagain/1", "Mark this task Complete and Do Again", "", false},
        {tvfCompleted, "act:doagain/1", "Do this task again", "", false},
        {tvfUncompleted, "ACT:MENU/1", "More Task options", "", false},
        {tvfCompleted, "act:undo/1", "Mark this task Uncomplete (\"undo\")", "", false},
        {tvfUncompleted, "https://example.org", "", "Open link in web browser: https://example.org",
         false},
        {tvfUncompleted, "qmk:createlist", "", "", false},
        {tvfUncompleted, "", "", "", false},
        {tvfUncompleted, "act:nothing/1", "", "", true},
    };
    host->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        host->filter = c.filter;
        // Something showing from before.
        ops->TaskViewerHotSpotCovered("act:edit/1");
        ASSERT_TRUE(QToolTip::isVisible());
        bool threw = false;
        try {
            ops->TaskViewerHotSpotCovered(c.link);
        } catch (const ViewError& e) {
            threw = true;
            EXPECT_EQ(e.message(), "Unknown action URI (" + c.link + ")");
        }
        EXPECT_EQ(threw, c.error);
        EXPECT_EQ(ops->CurrentHint(), c.hint);
        EXPECT_EQ(host->status, c.hint.isEmpty() ? c.status : c.hint);
        if (!c.hint.isEmpty()) {
            EXPECT_TRUE(QToolTip::isVisible());
            EXPECT_EQ(QToolTip::text(), c.hint);
        } else {
            // The tooltip hides after its short fade.
            EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        }
    }
}
