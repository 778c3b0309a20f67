#include "app/form_placement.h"

#include "app/settings_store.h"

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
        QRect placed(clampCoordinate(left), clampCoordinate(top), int(width), int(height));
        if (!QGuiApplication::screenAt(placed.topLeft())) {
            if (const QScreen* primary = QGuiApplication::primaryScreen())
                placed.moveTopLeft(primary->availableGeometry().topLeft());
        }
        window.setGeometry(placed);
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
