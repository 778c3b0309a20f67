// The filter bar of the real window, offscreen: opening it from the keyboard, narrowing the page
// as one types, bad queries, Esc, and the filter staying through work on the tasks.

#include "app/filter_bar.h"
#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "tasks/task_operations.h"
#include "tasks/todo_taskeditform.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>

namespace {

// Types as a person would: the window reads the keys, then the event loop lets it apply them.
void Type(QWidget* widget, const QString& keys)
{
    QTest::keyClicks(widget, keys);
    QCoreApplication::processEvents();
}

void Press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(widget, key, modifiers);
    QCoreApplication::processEvents();
}

class FilterBarTest : public AppTest {
protected:
    TFormMain& StartShown()
    {
        WriteList(path("Home.qmtd"),
                  {{"Buy milk", "Home", 1, EncodeDateTime(QDate(2026, 3, 12))},
                   {"Milk run", "Errands", 2},
                   {"Fix bike", "Home", 0},
                   {"Call Anna", "", 1},
                   {"Old milk", "Home", 1, NullDate, EncodeDateTime(QDate(2026, 3, 1))}});
        WriteSimpleList(path("Other.qmtd"), 2, 0);
        StoreRecentFiles({path("Home.qmtd")}, path("Home.qmtd"));
        TFormMain& form = Start();
        form.show();
        QApplication::setActiveWindow(&form);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        form.TaskViewer->setFocus();
        return form;
    }

    static QString Count(TFormMain& form)
    {
        return form.StatusFilterCount->isVisibleTo(&form) ? form.StatusFilterCount->text()
                                                          : QString();
    }

    // The record index in the done link of the task whose title starts with `title`.
    static int DoneLinkOf(TFormMain& form, const QString& titleStart)
    {
        const QString page = form.taskViewer().documentSource();
        const qsizetype at = page.indexOf(titleStart);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("act:done/(\\d+)")).match(page, at);
        return at >= 0 && m.hasMatch() ? m.captured(1).toInt() : -1;
    }
};

TEST_F(FilterBarTest, NarrowsThePageAsOneTypesAndEscapeRestoresIt)
{
    TFormMain& form = StartShown();
    QLineEdit* edit = form.FilterBar->FilterEdit;
    const QString unfiltered = form.taskViewer().documentSource();
    EXPECT_FALSE(form.FilterBar->isVisible());
    EXPECT_EQ(Count(form), QString());
    EXPECT_FALSE(edit->placeholderText().isEmpty());
    EXPECT_TRUE(edit->isClearButtonEnabled());

    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(form.FilterBar->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    // Open but with nothing to filter by, the page is the same text to the byte.
    EXPECT_EQ(form.taskViewer().documentSource(), unfiltered);
    Type(edit, QStringLiteral(" - "));
    EXPECT_EQ(form.taskViewer().documentSource(), unfiltered);
    EXPECT_EQ(Count(form), QString());
    edit->clear();
    QCoreApplication::processEvents();

    Type(edit, QStringLiteral("mil"));
    EXPECT_EQ(form.RecsShown(), 2);
    EXPECT_EQ(Count(form), QStringLiteral("2 of 4 tasks match"));
    const QString page = form.taskViewer().documentSource();
    EXPECT_TRUE(page.contains(QStringLiteral("Buy <span class=\"match\">mil</span>k")));
    EXPECT_TRUE(page.contains(QStringLiteral("<span class=\"match\">Mil</span>k run")));
    EXPECT_FALSE(page.contains(QStringLiteral("Fix bike")));

    Type(edit, QStringLiteral("k -c:err"));
    EXPECT_EQ(form.RecsShown(), 1);
    EXPECT_EQ(Count(form), QStringLiteral("1 of 4 tasks match"));

    // A query that cannot be read says why, and the page stays as the last one that could be
    // read left it ("... p", which matches nothing).
    Type(edit, QStringLiteral(" p:"));
    const QString reason =
        QStringLiteral("“p:” needs a priority: high, normal or low (or h, n, l).");
    EXPECT_EQ(form.FilterBar->Error(), reason);
    EXPECT_EQ(edit->toolTip(), reason);
    EXPECT_TRUE(edit->styleSheet().contains(QStringLiteral("border")));
    EXPECT_EQ(form.StatusFilterCount->toolTip(), reason);
    EXPECT_TRUE(reason.startsWith(Count(form).chopped(1))) << Count(form).toStdString();
    EXPECT_EQ(form.RecsShown(), 0);
    Press(edit, Qt::Key_Backspace);
    Press(edit, Qt::Key_Backspace);
    EXPECT_EQ(form.FilterBar->Error(), QString());
    EXPECT_EQ(edit->toolTip(), QString());
    EXPECT_EQ(edit->styleSheet(), QString());
    EXPECT_EQ(form.RecsShown(), 1);
    EXPECT_EQ(Count(form), QStringLiteral("1 of 4 tasks match"));

    Type(edit, QStringLiteral("zzz"));
    EXPECT_EQ(form.RecsShown(), 0);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(
        QStringLiteral("<tr><td>No tasks match “milk -c:err zzz”.</td></tr>")));
    EXPECT_EQ(Count(form), QStringLiteral("0 of 4 tasks match"));

    Press(edit, Qt::Key_Escape);
    EXPECT_FALSE(form.FilterBar->isVisible());
    EXPECT_EQ(edit->text(), QString());
    EXPECT_TRUE(form.TaskViewer->hasFocus());
    EXPECT_EQ(form.taskViewer().documentSource(), unfiltered);
    EXPECT_EQ(form.RecsShown(), 4);
    EXPECT_EQ(Count(form), QString());

    // Return goes back to the page and keeps the filter; so does Tab.
    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    Type(edit, QStringLiteral("fix"));
    Press(edit, Qt::Key_Return);
    EXPECT_TRUE(form.TaskViewer->hasFocus());
    EXPECT_EQ(form.RecsShown(), 1);
    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->selectedText(), QStringLiteral("fix"));
    Press(edit, Qt::Key_Tab);
    EXPECT_TRUE(form.TaskViewer->hasFocus());
    EXPECT_EQ(form.RecsShown(), 1);
    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    Press(edit, Qt::Key_Escape);
    EXPECT_FALSE(form.FilterBar->isVisible());
    EXPECT_EQ(form.RecsShown(), 4);

    // "/" on the page opens the bar too.
    Press(form.TaskViewer, Qt::Key_Slash);
    EXPECT_TRUE(form.FilterBar->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), QString());
}

TEST_F(FilterBarTest, KeysTypedFasterThanPagesAreBuiltBuildOnePage)
{
    TFormMain& form = StartShown();
    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    const QString before = form.taskViewer().documentSource();
    // Four keys before the event loop runs again: none of them builds a page of its own.
    QTest::keyClicks(form.FilterBar->FilterEdit, QStringLiteral("milk"));
    EXPECT_EQ(form.taskViewer().documentSource(), before);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.RecsShown(), 2);
    EXPECT_EQ(Count(form), QStringLiteral("2 of 4 tasks match"));
    // A key that brings back the query already shown builds nothing either.
    QTest::keyClicks(form.FilterBar->FilterEdit, QStringLiteral("x"));
    QTest::keyClick(form.FilterBar->FilterEdit, Qt::Key_Backspace);
    const QString shown = form.taskViewer().documentSource();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.taskViewer().documentSource(), shown);
    EXPECT_EQ(form.RecsShown(), 2);
}

TEST_F(FilterBarTest, CtrlFIsTheFindCommandsAloneInTheEditMenu)
{
    TFormMain& form = StartShown();
    int owners = 0;
    for (QAction* action : form.findChildren<QAction*>())
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_F))
            ++owners;
    EXPECT_EQ(owners, 1);
    EXPECT_TRUE(form.MenuEdit->actions().contains(form.ActionFind));
    EXPECT_TRUE(form.ActionFind->isEnabled());
}

TEST_F(FilterBarTest, StaysThroughCompletingAndSwitchingTabs)
{
    TFormMain& form = StartShown();
    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    Type(form.FilterBar->FilterEdit, QStringLiteral("milk"));
    ASSERT_EQ(Count(form), QStringLiteral("2 of 4 tasks match"));

    const int rec = DoneLinkOf(form, QStringLiteral("Buy <span"));
    ASSERT_GT(rec, 0);
    bool handled = false;
    emit form.taskViewer().hotSpotClick(QStringLiteral("act:done/%1").arg(rec), &handled);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(form.FilterBar->isVisible());
    EXPECT_EQ(form.FilterBar->FilterEdit->text(), QStringLiteral("milk"));
    EXPECT_EQ(form.RecsShown(), 1);
    EXPECT_EQ(Count(form), QStringLiteral("1 of 3 tasks match"));
    EXPECT_FALSE(form.taskViewer().documentSource().contains(QStringLiteral("Buy <span")));

    form.TabSetFilter->setCurrentIndex(1);
    EXPECT_EQ(form.FilterBar->FilterEdit->text(), QStringLiteral("milk"));
    EXPECT_EQ(form.RecsShown(), 2);
    EXPECT_EQ(Count(form), QStringLiteral("2 of 2 tasks match"));
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Old <span")));
}

TEST_F(FilterBarTest, NewTaskStaysShownUntilTheFilterChangesAndAnotherListClearsIt)
{
    // A clock that moves on a second at every reading, so that "created since the filter
    // changed" means something.
    auto ticks = std::make_shared<int>(0);
    SetClock([ticks] { return QDateTime(QDate(2026, 3, 10), QTime(12, 0)).addSecs(++*ticks); });
    TFormMain& form = StartShown();
    Press(form.TaskViewer, Qt::Key_F, Qt::ControlModifier);
    Type(form.FilterBar->FilterEdit, QStringLiteral("milk"));
    ASSERT_EQ(form.RecsShown(), 2);

    TFormTaskEdit::TestAnswer = [](TFormTaskEdit& dialog) {
        dialog.eTitle->setText(QStringLiteral("Water plants"));
        return true;
    };
    form.ActionToDoNewItem->trigger();
    TFormTaskEdit::TestAnswer = nullptr;
    EXPECT_EQ(form.RecsShown(), 3);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Water plants")));
    EXPECT_EQ(Count(form), QStringLiteral("2 of 5 tasks match"));

    Press(form.FilterBar->FilterEdit, Qt::Key_Backspace);
    EXPECT_EQ(form.RecsShown(), 2);
    EXPECT_FALSE(form.taskViewer().documentSource().contains(QStringLiteral("Water plants")));

    ASSERT_TRUE(form.OpenToDoList(path("Other.qmtd"), true));
    EXPECT_FALSE(form.FilterBar->isVisible());
    EXPECT_EQ(form.FilterBar->FilterEdit->text(), QString());
    EXPECT_TRUE(form.FilterQuery().isEmpty());
    EXPECT_EQ(form.RecsShown(), 2);
    EXPECT_EQ(Count(form), QString());
}

} // namespace
