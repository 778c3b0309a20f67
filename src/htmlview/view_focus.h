#pragma once
// The keyboard's place on the page: the current row group with its focus frame, and the link
// that Tab moved to with its focus mark. It knows the page only as boxes and a display list;
// what a group stands for is the caller's (row_groups.h). Geometry is worked out when first
// needed after a load or a new layout, so moving the current group only repaints.

#include "htmlview/box_tree.h"
#include "htmlview/display_list.h"
#include "htmlview/row_groups.h"

#include <QPoint>
#include <QRectF>
#include <memory>
#include <vector>

class HtmlView;
class QKeyEvent;
class QPainter;
class QPalette;

namespace htmlview {

class AccessibleTree;

class ViewFocus {
public:
    explicit ViewFocus(HtmlView& view);
    ~ViewFocus();

    // A new document: it has no groups until setGroups, which finds the current one again
    // among them by key.
    void documentLoaded(const BoxTree& tree, const DisplayList& list);
    // The same document laid out again (a resize).
    void relaidOut(const DisplayList& list);

    void setGroups(std::vector<HtmlRowGroup> groups);
    const std::vector<HtmlRowGroup>& groups() const { return FGroups; }
    int current() const { return FCurrent; }
    // -1 clears. Scrolls the group into sight when asked.
    void setCurrent(int group, bool scroll);
    void ensureCurrentVisible();

    // Page coordinates.
    QRectF groupRect(int group) const;
    int groupAt(QPointF pagePoint) const;
    // Links of the document: how many, their target and shown text, the parts they are drawn
    // in, and the group that holds them (-1: none).
    int linkCount() const;
    QString linkTarget(int link) const;
    QString linkText(int link) const;
    std::vector<QRectF> linkRects(int link) const;
    // All of a link in viewport coordinates; empty when it is not drawn.
    QRect linkViewportRect(int link) const;
    int groupOfLink(int link) const;
    // Links in focus order (document order of their first word or image).
    const std::vector<int>& focusOrder() const;
    // A link's place in focusOrder; -1 when it shows nothing.
    int focusIndex(int link) const;
    // The run of focusOrder that lies in a group: [begin, end).
    std::pair<int, int> groupLinks(int group) const;
    int findLink(const QString& target, int group) const;
    int focusedLink() const { return FFocusedLink; }
    void setFocusedLink(int link);

    // Events, forwarded by the view. Each returns whether it used the event.
    bool keyPress(QKeyEvent* event);
    bool wantsKey(const QKeyEvent* event) const; // keys the view takes before shortcuts
    bool tab(bool forward);
    void pointerPressed(QPointF pagePoint);
    void focusChanged(bool in, bool byTab);
    void paint(QPainter& painter, const QPalette& palette) const;

    // Follows a link as a click would, from the keyboard or an assistive tool.
    void activateLink(int link);
    QPoint activationPoint() const;
    // Where a keyboard context menu belongs, in viewport coordinates.
    QPoint menuPoint() const;

    void setDescription(const HtmlRowGroupDescription* description) { FDescription = description; }
    const HtmlRowGroupDescription* description() const { return FDescription; }
    HtmlView& view() const { return FView; }
    // Grows with every change that makes earlier accessible children stale.
    quint64 generation() const { return FGeneration; }
    AccessibleTree& accessible();

private:
    struct Geometry;
    void dropGeometry();
    void dropLayoutGeometry();
    const Geometry& geometry() const;
    void updateGroupArea(int group) const;
    void updateLinkArea(int link) const;
    void ensureVisible(const QRectF& pageRect);
    void moveTo(int group);
    int pageTarget(bool down) const;
    void changed();

    HtmlView& FView;
    const BoxTree* FTree = nullptr;
    const DisplayList* FList = nullptr;
    std::vector<HtmlRowGroup> FGroups;
    int FCurrent = -1;
    int FFocusedLink = -1;
    // The groups of the last document that had some, to find the current one again.
    std::vector<HtmlRowGroup> FPrevious;
    int FPreviousCurrent = -1;
    mutable std::unique_ptr<Geometry> FGeometry;
    const HtmlRowGroupDescription* FDescription = nullptr;
    quint64 FGeneration = 1;
    bool FKeyboardActivation = false;
    QPoint FActivationPoint;
    std::unique_ptr<AccessibleTree> FAccessible;
};

} // namespace htmlview
