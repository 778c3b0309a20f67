#include "app/form_placement.h"

#include "app/settings_store.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace {
const QString& Section = SettingsNames::MainFormStateSection;
const QString SavedValue = QStringLiteral("Saved");
const QString MaximizedValue = QStringLiteral("Maximized");
const QString LeftValue = QStringLiteral("Left");
const QString TopValue = QStringLiteral("Top");
const QString RightValue = QStringLiteral("Right");
const QString BottomValue = QStringLiteral("Bottom");

int clampCoordinate(qint64 value)
{
    return int(std::clamp<qint64>(value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

bool isResizable(const QWidget& window)
{
    return window.minimumSize() != window.maximumSize();
}

// Once the window is shown and its frame is known, shrinks and moves it so that the whole frame
// lies within `area`; then it goes.
class FrameFitter : public QObject {
public:
    FrameFitter(QWidget& window, const QRect& area) : QObject(&window), FArea(area) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched == parent()) {
            QWidget& window = *static_cast<QWidget*>(watched);
            const QRect frame = window.frameGeometry();
            const QSize margins = frame.size() - window.size();
            const QSize size = window.size().boundedTo(FArea.size() - margins);
            if (!window.isMaximized() && !window.isFullScreen() && size.isValid()) {
                const int x = std::clamp(frame.x(), FArea.left(),
                                         FArea.right() + 1 - size.width() - margins.width());
                const int y = std::clamp(frame.y(), FArea.top(),
                                         FArea.bottom() + 1 - size.height() - margins.height());
                if (size != window.size())
                    window.resize(size);
                if (QPoint(x, y) != frame.topLeft())
                    window.move(x, y);
            }
            window.removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QRect FArea;
};

// Gives `window` the normal (client) rectangle `stored` where it lies within a screen's work
// area; otherwise places the window's frame within the work area of the screen holding the
// rectangle's top-left corner (or of the primary screen), cut down to fit it.
void placeWithin(QWidget& window, const QRect& stored)
{
    const QScreen* screen = QGuiApplication::screenAt(stored.topLeft());
    const bool onScreen = screen != nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    if (onScreen && area.contains(stored)) {
        window.setGeometry(stored); // where it was: the frame comes back around it as it was
        return;
    }
    // Moved onto the screen or cut down to fit it. The frame is placed, not the client area,
    // so that the title bar cannot land above the top of the screen; the frame's own size is
    // known only once the window is shown, so it is fitted again then.
    QSize size = stored.size();
    QPoint corner = onScreen ? stored.topLeft() : area.topLeft();
    if (area.isValid()) {
        size = size.boundedTo(area.size());
        corner.setX(std::clamp(corner.x(), area.left(), area.right() + 1 - size.width()));
        corner.setY(std::clamp(corner.y(), area.top(), area.bottom() + 1 - size.height()));
    }
    window.resize(size);
    window.move(corner);
    if (area.isValid())
        window.installEventFilter(new FrameFitter(window, area));
}
} // namespace

bool PlacementSaved(SettingsStore& store)
{
    return store.ReadBool(Section, SavedValue, false);
}

void RestorePlacement(QWidget& window, SettingsStore& store)
{
    // Without a stored placement the window keeps the position the window manager gives it;
    // setting the current geometry explicitly would pin it instead.
    if (PlacementSaved(store)) {
        const QRect current = window.geometry();
        const qint64 left = store.ReadInteger(Section, LeftValue, current.left());
        const qint64 top = store.ReadInteger(Section, TopValue, current.top());
        qint64 width = current.width();
        qint64 height = current.height();
        if (isResizable(window)) {
            const qint64 right =
                store.ReadInteger(Section, RightValue, clampToInt(left + current.width()));
            const qint64 bottom =
                store.ReadInteger(Section, BottomValue, clampToInt(top + current.height()));
            // A rectangle turned inside out by a hand-edited store keeps the designed size.
            if (right > left)
                width = qMin<qint64>(right - left, QWIDGETSIZE_MAX);
            if (bottom > top)
                height = qMin<qint64>(bottom - top, QWIDGETSIZE_MAX);
        }
        // Coordinates far outside any desktop are cut down so that the rectangle's corners
        // cannot overflow; such a corner lies on no screen either way.
        const QRect stored(clampCoordinate(left), clampCoordinate(top), int(width), int(height));
        placeWithin(window, stored);
    }
    if (store.ReadBool(Section, MaximizedValue, false))
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

std::optional<QString> StorePlacement(QWidget& window, SettingsStore& store)
{
    const Qt::WindowStates state = window.windowState();
    const bool maximized =
        state.testFlag(Qt::WindowMaximized) && !state.testFlag(Qt::WindowMinimized);
    QRect normal = window.normalGeometry();
    if (!normal.isValid())
        normal = window.geometry();
    try {
        store.WriteBool(Section, MaximizedValue, maximized);
        store.WriteInteger(Section, LeftValue, normal.left());
        store.WriteInteger(Section, TopValue, normal.top());
        if (isResizable(window)) {
            store.WriteInteger(Section, RightValue, normal.left() + normal.width());
            store.WriteInteger(Section, BottomValue, normal.top() + normal.height());
        }
        store.WriteBool(Section, SavedValue, true);
    } catch (const SettingsError& error) {
        return error.message();
    }
    return std::nullopt;
}
