// The view state of the main window and the pages it loads into the view.

#include "app/form_main.h"
#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "tasks/current_task.h"
#include "view/greeting_page.h"
#include "view/page_style.h"
#include "view/task_page.h"

#include <QApplication>
#include <QPalette>
#include <QTabBar>

namespace {

RgbColor rgbOf(const QColor& colour)
{
    return RgbColor{std::uint8_t(colour.red()), std::uint8_t(colour.green()),
                    std::uint8_t(colour.blue())};
}

PageColors CurrentPageColors()
{
    const QPalette palette = QApplication::palette();
    PageColors colors;
    colors.buttonFace = rgbOf(palette.color(QPalette::Active, QPalette::Button));
    colors.windowText = rgbOf(palette.color(QPalette::Active, QPalette::WindowText));
    colors.highlight = rgbOf(palette.color(QPalette::Active, QPalette::Highlight));
    colors.highlightedText = rgbOf(palette.color(QPalette::Active, QPalette::HighlightedText));
    return colors;
}

// The style sheet of both pages, from the system colours and the display font; a filtered page
// adds the colours of its marks.
QString CurrentPageStyleSheet(bool filtered = false)
{
    const PageColors colors = CurrentPageColors();
    QString sheet = PageStyleSheet(colors, DisplayFontName, DisplayFontSize);
    if (filtered)
        sheet += MatchMarkStyle(colors);
    return sheet;
}

} // namespace

TSortMode TFormMain::GetTaskSortMode() const
{
    return FTaskViewFilter == tvfCompleted ? smCompletedDesc : FTaskSortMode;
}

void TFormMain::SetTaskSortMode(TSortMode value)
{
    if (value == FTaskSortMode)
        return;
    FTaskSortMode = value;
    LoadTaskView(false);
}

void TFormMain::SetTaskViewFilter(TTaskViewFilter value)
{
    if (value == FTaskViewFilter)
        return;
    FTaskViewFilter = value;
    const int tab = value == tvfCompleted ? 1 : 0;
    if (TabSetFilter->currentIndex() != tab)
        TabSetFilter->setCurrentIndex(tab); // reports the change, which rebuilds the page
    else
        LoadTaskView(false);
}

void TFormMain::TabSetFilterChange(int newTab)
{
    switch (newTab) {
    case 0:
        FTaskViewFilter = tvfUncompleted;
        break;
    case 1:
        FTaskViewFilter = tvfCompleted;
        break;
    default:
        throw std::runtime_error(
            QStringLiteral("Unknown TabSetFilter.TabIndex value (%1)").arg(newTab).toStdString());
    }
    LoadTaskView(false);
}

void TFormMain::LoadTaskView(bool printing)
{
    FRecsShown = 0;
    FCompletedTasks = 0;
    TaskViewer->clear();
    if (!ClientDataSetMain.Active())
        return;
    // The view has let go of the last page's text just now, so its memory serves the new one.
    TaskPage page =
        BuildTaskPage(ClientDataSetMain, int(GetTaskSortMode()), FTaskViewFilter, printing,
                      FImagePaths, CurrentPageStyleSheet(!FTaskQuery.isEmpty()), Today(),
                      PageQuery{&FTaskQuery, FFilterSince}, std::move(FPageText));
    FCompletedTasks = page.FCompletedTasks;
    FTabTasks = page.tabTasks;
    FMatchedTasks = page.matched;
    UpdateFilterStatus();
    ShowTaskPage(*TaskViewer, page);
    FRecsShown = page.FRecsShown;
    FPageText = std::move(page.text);
}

void TFormMain::DisplayGreeting()
{
    TaskViewer->loadFromString(GreetingPageText(CurrentPageStyleSheet()));
}
