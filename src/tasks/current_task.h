#pragma once
// The page's current task: the task row the keyboard is on. The view keeps it as a row group
// whose key is the task's record id, so it stays with the task through every page rebuild; this
// file says which rows make a task and how a screen reader hears one.

#include "htmlview/row_groups.h"
#include "view/task_page.h"

#include <vector>

class HtmlView;
class TaskHost;

// One group per shown task: its task row and details row, keyed by record id, tagged with the
// record index its links carry.
std::vector<HtmlRowGroup> TaskRowGroups(const TaskPage& page);

// Loads a built page into the view together with its tasks' row groups.
void ShowTaskPage(HtmlView& viewer, const TaskPage& page);

// The words for a task row: "title; category ...; deadline ...; ... priority", its details, and
// the actions of its buttons.
class TaskRowDescription : public HtmlRowGroupDescription {
public:
    explicit TaskRowDescription(TaskHost& host) : FHost(host) {}

    QString name(const HtmlRowGroup& group) const override;
    QString description(const HtmlRowGroup& group) const override;
    QStringList actions(const HtmlRowGroup& group) const override;
    QString linkName(const QString& target) const override;

    // The action names, as tools show them.
    static const QString Edit, Complete, Undo, DoAgain, More;

private:
    // Moves the table to the group's task; false when the tag is no task of the table.
    bool select(const HtmlRowGroup& group) const;
    TaskHost& FHost;
};
