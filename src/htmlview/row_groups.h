#pragma once
// What the keyboard moves between on a page, as the caller describes it: groups of consecutive
// rows of the document's first table. The view draws a focus frame around the current group,
// keeps it by key when a new document comes, and tells assistive tools about the groups in the
// words the caller supplies. What a group stands for is the caller's business.

#include <QString>
#include <QStringList>
#include <QtGlobal>

struct HtmlRowGroup {
    int firstRow = 0; // among the rows of the document's first table, from 0
    int rowCount = 1;
    quint64 key = 0; // the caller's identity of what the rows show, the same across documents
    int tag = 0;     // the caller's number for the group in this document
};

// How assistive tools hear the groups; asked only while one is listening, so it may work from
// the caller's data as it stands when the document was loaded.
class HtmlRowGroupDescription {
public:
    virtual ~HtmlRowGroupDescription() = default;
    virtual QString name(const HtmlRowGroup& group) const = 0;
    virtual QString description(const HtmlRowGroup& group) const = 0;
    // The actions a tool may run on the group; the view reports them with rowGroupAction.
    virtual QStringList actions(const HtmlRowGroup& group) const = 0;
    // A name for a link that shows no text (an image button); empty: its target is used.
    virtual QString linkName(const QString& target) const = 0;
};
