#pragma once
// What assistive tools (screen readers, through AT-SPI on Linux) see of the view: the page as a
// document whose children are its row groups (rows, named and with actions by the caller) and
// the links outside them; each row's children are its links, with their text and target.
// Nothing is built until a tool asks; a new document or new groups drop what was built.

#include <QAccessible>
#include <QAccessibleWidget>
#include <vector>

class HtmlView;

namespace htmlview {

class ViewFocus;

// Installs the interface factory for HtmlView once per process.
void installHtmlViewAccessibility();

// Where the view's accessibility events go: to the platform (nullptr, the default), or to a
// recorder in tests, where no platform listens. With a recorder the events count as listened to
// once a tree has been built.
using AccessibleEventSink = void (*)(QAccessibleEvent* event);
void setAccessibleEventSink(AccessibleEventSink sink);

class AccessibleTree {
public:
    explicit AccessibleTree(ViewFocus& focus);
    ~AccessibleTree();
    AccessibleTree(const AccessibleTree&) = delete;
    AccessibleTree& operator=(const AccessibleTree&) = delete;

    // Drops every child interface built so far and tells listening tools the children changed.
    void invalidate();
    bool built() const { return FBuilt; }

    // The document's children: row groups and the links outside them, in document order.
    int childCount();
    QAccessibleInterface* child(int index);
    int indexOfGroup(int group);
    int indexOfLink(int link); // among the document's children; -1 when inside a group
    QAccessibleInterface* groupInterface(int group);
    QAccessibleInterface* linkInterface(int link);
    // The focused link, else the current group; nullptr when there is neither.
    QAccessibleInterface* focusInterface();
    // Tells listening tools that focusInterface() has the focus now.
    void notifyFocus();

private:
    void build();
    void addLink(int link);
    void dropInterfaces();
    // The child interface at `index` of `ids`, made and registered on first use.
    template <typename Child>
    QAccessibleInterface* cached(std::vector<QAccessible::Id>& ids, int index);
    bool listened() const;

    ViewFocus& FFocus;
    bool FBuilt = false;
    // Entries of the document: >= 0 a group, < 0 the link -(entry + 1).
    std::vector<int> FEntries;
    std::vector<int> FGroupEntry; // entry of each group
    std::vector<int> FLinkEntry;  // entry of each link outside the groups, else -1
    std::vector<QAccessible::Id> FGroupIds;
    std::vector<QAccessible::Id> FLinkIds;
};

} // namespace htmlview
