#pragma once
// A pop-up menu that remembers the record index of the task it was last opened for.

#include <QMenu>

class TPopupMenu : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;
    int Tag = 0;
};
