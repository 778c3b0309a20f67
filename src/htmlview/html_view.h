#pragma once
// A scrolling widget that shows one HTML document with its style sheet and local images, reports
// link clicks and the link under the pointer, lets the user select text, and prints.
// It knows nothing about what the document means.

#include "htmlview/row_groups.h"

#include <QAbstractScrollArea>
#include <QMarginsF>
#include <QString>
#include <memory>
#include <stdexcept>
#include <vector>

class QMenu;
class QPrinter;

namespace htmlview {
class Document;  // parsed, styled and laid-out document
class ViewFocus; // the keyboard's place on the page
} // namespace htmlview

// Raised when printing cannot start (for example, the output file cannot be written).
class HtmlViewError : public std::runtime_error {
public:
    explicit HtmlViewError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const { return FMessage; }

private:
    QString FMessage;
};

class HtmlView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HtmlView(QWidget* parent = nullptr);
    ~HtmlView() override;

    // Replaces the document with one parsed from `html` (no base location; image sources are
    // absolute local paths). The view starts at the top.
    void loadFromString(const QString& html);
    void clear();
    // The document's text as plain text (what selecting everything would copy).
    QString documentText() const;
    // The HTML last loaded.
    QString documentSource() const;
    // Height and width of the laid-out document in pixels.
    QSize documentSize() const;

    // The top of the visible part as an opaque integer, and setting it back after a new
    // document: the same place as far as the new document allows.
    int position() const;
    void setPosition(int position);

    // Mouse selection, as plain text. A selection the user makes (dragging, double-clicking,
    // selecting all) is also offered as the primary selection where the desktop has one (X11).
    // Dragging past the top or bottom keeps scrolling while the button is held.
    QString selectedText() const;
    int selectionLength() const;
    // Whether the selection holds any text; stops at the first character instead of copying.
    bool hasSelectedText() const;
    void clearSelection();
    void selectAll();

    // Shown on a right click; owned by the caller.
    void setContextMenu(QMenu* menu);

    // Printing with the given page margins (millimetres) and scale: how many pages the current
    // document takes on `printer`, and printing pages from..to (1-based, inclusive).
    void setPrintMargins(const QMarginsF& millimetres);
    void setPrintScale(double scale);
    int printerPageCount(QPrinter* printer) const;
    void print(QPrinter* printer, int fromPage, int toPage) const;

    // The link under a point of the viewport, empty when none (for tests and tooltips).
    QString linkAt(const QPoint& viewportPoint) const;

    // --- the keyboard's place on the page (row_groups.h) -----------------------------------
    // Up/Down (and K/J), Home/End and Page Up/Down move the current group; Tab and Shift+Tab move
    // through the links, and Enter follows the focused one; Shift+F10 and the Menu key open the
    // context menu at the focus. Groups describe the document just loaded; a new document has
    // none until they are set again, and then the current group is found again by key, else the
    // one after it that is still there. The focus frame shows only while the view has focus.
    void setRowGroups(std::vector<HtmlRowGroup> groups);
    const std::vector<HtmlRowGroup>& rowGroups() const;
    int currentRowGroup() const;        // -1: none
    void setCurrentRowGroup(int group); // and scrolls it into sight
    // Makes the group with this key current without scrolling; false when no group has it.
    bool setCurrentRowGroupKey(quint64 key);
    void ensureCurrentRowGroupVisible();
    QRect rowGroupRect(int group) const; // viewport coordinates
    // Where the link with this target is drawn (in `group` when it is not -1); empty if nowhere.
    QRect linkRect(const QString& target, int group = -1) const;
    QString focusedLinkTarget() const;
    // Where a pop-up for the link being followed belongs, in screen coordinates: under the link
    // when it is followed from the keyboard or by an assistive tool, else at the mouse pointer.
    QPoint activationPoint() const;
    // Names and actions of the groups for assistive tools; owned by the caller.
    void setRowGroupDescription(const HtmlRowGroupDescription* description);
    htmlview::ViewFocus& focusModel() const;
    // The focus as the cursor rectangle, where Qt opens a keyboard context menu.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    // A click on a link. A slot may set *handled to true; the view never follows a link itself.
    void hotSpotClick(const QString& target, bool* handled);
    // The link under the pointer changed; empty when the pointer left a link.
    void hotSpotCovered(const QString& target);
    // The current row group changed (-1: none), by the keyboard, a click or a new document.
    void currentRowGroupChanged(int group);
    // An assistive tool asked for one of the group's actions.
    void rowGroupAction(int group, const QString& action);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void updateScrollBars();
    void clearHover();
    void extendSelection(QPoint viewportPoint);
    void autoScroll();
    void publishSelection();
    struct Private;
    std::unique_ptr<Private> d;
};
