#pragma once
// Where the program's data (the button images in Theme/, the help in help/) lives.

#include <QString>

// The installed data folder, found from the executable's folder by the path the build recorded
// between the two (bin -> ../share/quillmark for any prefix), when it holds the button images;
// otherwise the executable's own folder, as in the build tree.
QString DataFolderFor(const QString& executableFolder);

// DataFolderFor the running executable; the current folder when there is no application object.
QString DataFolder();
