#pragma once
// A scrolling widget that shows one HTML document with its style sheet and local images, reports
// link clicks and the link under the pointer, lets the user select text, and prints.
// It knows nothing about what the document means.

#include <QAbstractScrollArea>
#include <QMarginsF>
#include <QString>
#include <memory>

class QMenu;
class QPrinter;

namespace htmlview {
class Document; // parsed, styled and laid-out document
}

class HtmlView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HtmlView(QWidget* parent = nullptr);
    ~HtmlView() override;

    // Replaces the document with one parsed from `html` (no base location; image sources are
    // absolute local paths). The view starts at the top.
    void loadFromString(const QString& html);
    void clear();
    QString documentText() const;

    // The top of the visible part as an opaque integer, and setting it back after a new
    // document: the same place as far as the new document allows.
    int position() const;
    void setPosition(int position);

    // Mouse selection, as plain text.
    QString selectedText() const;
    int selectionLength() const;
    void clearSelection();

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

private:
    struct Private;
    std::unique_ptr<Private> d;
};
