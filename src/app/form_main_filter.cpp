// The filter bar: opening and closing it, reading its query as it is typed, and the count of
// matching tasks in the status bar.

#include "app/filter_bar.h"
#include "app/form_main.h"
#include "htmlview/html_view.h"
#include "shared/datetime.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString MatchCountText(int matched, int total)
{
    if (total == 1)
        return QStringLiteral("%1 of 1 task matches").arg(matched);
    return QStringLiteral("%1 of %2 tasks match").arg(matched).arg(total);
}

} // namespace

void TFormMain::CreateFilterBar(QVBoxLayout* layout)
{
    FilterBar = new TFilterBar(layout->parentWidget());
    FilterBar->hide();
    layout->addWidget(FilterBar);
    connect(FilterBar->FilterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        Guarded("FilterTextChanged", [this, text] { FilterTextChanged(text); });
    });
    FilterTimer = new QTimer(this);
    FilterTimer->setObjectName(QStringLiteral("FilterTimer"));
    FilterTimer->setSingleShot(true);
    FilterTimer->setInterval(0);
    connect(FilterTimer, &QTimer::timeout, this,
            [this] { Guarded("ApplyFilter", [this] { ApplyFilter(); }); });
    connect(FilterBar, &TFilterBar::closeRequested, this,
            [this] { Guarded("CloseFilter", [this] { CloseFilter(); }); });
    connect(FilterBar, &TFilterBar::returnPressed, this, [this] { TaskViewer->setFocus(); });
    setTabOrder(FilterBar->FilterEdit, TaskViewer); // Tab goes from the bar down to the page
    // "/" on the page: a shortcut of the view's own, so it works whatever the view does with keys.
    ShortcutSlashFind = new QShortcut(QKeySequence(Qt::Key_Slash), TaskViewer);
    ShortcutSlashFind->setObjectName(QStringLiteral("ShortcutSlashFind"));
    ShortcutSlashFind->setContext(Qt::WidgetWithChildrenShortcut);
    connect(ShortcutSlashFind, &QShortcut::activated, ActionFind, &QAction::trigger);

    StatusFilterCount = new QLabel(statusBar());
    StatusFilterCount->setObjectName(QStringLiteral("StatusFilterCount"));
    StatusFilterCount->hide();
    statusBar()->addPermanentWidget(StatusFilterCount);
}

void TFormMain::ActionFindExecute()
{
    if (!ClientDataSetMain.Active())
        return;
    FilterBar->show();
    FilterBar->FilterEdit->setFocus(Qt::ShortcutFocusReason);
    FilterBar->FilterEdit->selectAll();
    UpdateFilterStatus();
}

void TFormMain::FilterTextChanged(const QString& text)
{
    try {
        TaskQuery query = TaskQuery::Parse(text);
        FilterBar->SetError(QString());
        // The page is built once for keys typed faster than it can be: the timer fires when the
        // keys waiting have been read, so every key still narrows the page when typing is slower.
        if (query.text() != FTaskQuery.text()) {
            FNextQuery = std::move(query);
            FilterTimer->start();
        } else {
            FNextQuery.reset();
            FilterTimer->stop();
        }
    } catch (const QueryError& e) {
        // The page stays as the last query that could be read left it.
        FilterBar->SetError(e.message());
    }
    UpdateFilterStatus();
}

void TFormMain::ApplyFilter()
{
    if (!FNextQuery)
        return;
    FTaskQuery = std::move(*FNextQuery);
    FNextQuery.reset();
    FFilterSince = Now();
    LoadTaskView(false);
}

void TFormMain::CloseFilter()
{
    const bool filtered = !FTaskQuery.isEmpty();
    ClearFilter();
    if (filtered)
        LoadTaskView(false);
    TaskViewer->setFocus(Qt::OtherFocusReason);
}

void TFormMain::ClearFilter()
{
    {
        const QSignalBlocker blocker(FilterBar->FilterEdit);
        FilterBar->FilterEdit->clear();
    }
    FilterBar->SetError(QString());
    FilterBar->hide();
    FilterTimer->stop();
    FNextQuery.reset();
    FTaskQuery = TaskQuery();
    FFilterSince = NullDate;
    UpdateFilterStatus();
}

void TFormMain::UpdateFilterStatus()
{
    if (!FilterBar->isVisibleTo(this) || (FTaskQuery.isEmpty() && FilterBar->Error().isEmpty())) {
        StatusFilterCount->hide();
        return;
    }
    const QString& error = FilterBar->Error();
    // A reason can be long; the status bar shows what fits, its tooltip the whole of it.
    const int room = std::max(120, statusBar()->width() * 2 / 3);
    StatusFilterCount->setText(
        error.isEmpty() ? MatchCountText(FMatchedTasks, FTabTasks)
                        : StatusFilterCount->fontMetrics().elidedText(error, Qt::ElideRight, room));
    StatusFilterCount->setToolTip(error);
    StatusFilterCount->show();
}
