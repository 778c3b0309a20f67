#pragma once
// The program's help, shown in a window of its own where no browser can be started.

class QWidget;

// Registers the help built into the program (":/help/index.html"); the resource sits in a static
// library, where nothing else would pull it in.
void RegisterHelpResource();

// Shows the bundled help (non-modal, one window for the run) and brings it to the front.
void ShowHelpWindow(QWidget* parent);
