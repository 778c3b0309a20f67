#pragma once
// A scrolling widget that shows one HTML document with its style sheet and local images, reports
// link clicks and the link under the pointer, lets the user select text, and prints.
// It knows nothing about what the document means.

#include <QAbstractScrollArea>
#include <QMarginsF>
#include <QString>
#include <memory>
#include <stdexcept>

class QMenu;
class QPrinter;

namespace htmlview {
class Document; // parsed, styled and laid-out document
}

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

signals:
    // A click on a link. A slot may set *handled to true; the view never follows a link itself.
    void hotSpotClick(const QString& target, bool* handled);
    // The link under the pointer changed; empty when the pointer left a link.
    void hotSpotCovered(const QString& target);

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

private:
    void updateScrollBars();
    void clearHover();
    void extendSelection(QPoint viewportPoint);
    void autoScroll();
    void publishSelection();
    struct Private;
    std::unique_ptr<Private> d;
};
