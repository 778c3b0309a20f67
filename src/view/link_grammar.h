#pragma once
// What a link on a page means: the create-list link of the greeting, an action link of a task
// row, a web link, or nothing the program acts on.

#include "shared/todo_global.h"
#include "view/action_links.h"

#include <QString>

enum class TLinkKind { CreateList, Action, Web, Other };

struct TLinkTarget {
    TLinkKind kind = TLinkKind::Other;
    TActionKind action = TActionKind::Edit; // for TLinkKind::Action
    int recIndex = 0;                       // for TLinkKind::Action
};

// Reads a link's target text. Raises ViewError "Unknown action URI (%s)" for an "act:" link
// whose word is none of edit, done, doagain, menu, undo.
TLinkTarget ParseLink(const QString& src);

// The record index of an action link: up to ten characters after the first "/" read as a signed
// decimal integer; 0 when there is no "/" or they are not such a number.
int ActionRecIndex(const QString& src);

// What hovering a link shows: `hint` as a tooltip and in the status bar (action links), or
// `statusText` in the status bar alone (web links). Both empty for anything else.
struct TLinkHover {
    QString hint;
    QString statusText;
};

// Raises ViewError "Unknown action URI (%s)" like ParseLink.
TLinkHover LinkHover(const QString& src, TTaskViewFilter filter);
