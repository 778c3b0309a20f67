#pragma once
// A pop-up menu that remembers the record index of the task it was last opened for.

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

class TPopupMenu : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;
    int Tag = 0;

protected:
    // An item's shortcut, which the menu shows, also picks the item while the menu is open.
    void keyPressEvent(QKeyEvent* event) override
    {
        const QKeySequence pressed(event->keyCombination());
        for (QAction* item : actions()) {
            if (item->isEnabled() && !item->shortcut().isEmpty() &&
                item->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                hide();
                item->trigger();
                return;
            }
        }
        QMenu::keyPressEvent(event);
    }
};
