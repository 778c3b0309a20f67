#pragma once
// The program's icons. The desktop's icon theme supplies them where it has a matching one; our
// own drawings stand in everywhere else, so the program looks complete without a theme.

#include <QIcon>

// Positions in the command icon list; the same pictures serve the menus (16 pixels) and the
// toolbar (24 pixels).
enum class TAppIcon {
    Exit = 0,             // exit door
    NewTask = 1,          // blank page
    NewList = 5,          // folder with a red star
    OpenList = 6,         // open folder with an arrow
    DisplayOrder = 12,    // page with list lines
    Copy = 13,            // clipboard
    Font = 14,            // the letters "abc"
    Help = 15,            // question mark
    EmailSupport = 16,    // envelope with a green arrow
    Website = 17,         // globe
    DeleteCompleted = 18, // page with an orange cross
    Print = 19,           // printer
    Find = 20,            // magnifying glass
};

QIcon AppIcon(TAppIcon icon);
// Our own drawing of the icon, ignoring the theme.
QIcon DrawnAppIcon(TAppIcon icon);

// The filter tabs: an empty check box for "Uncompleted", a ticked one for "Completed".
QIcon TabIcon(bool ticked);

// The window icon: the program's icon as the desktop shows it, at every hicolor size.
QIcon ProgramIcon();
