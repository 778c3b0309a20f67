#pragma once
// The program's help, shown in a window of its own where no browser can be started.

class QWidget;

// Shows the bundled help (non-modal, one window for the run) and brings it to the front.
void ShowHelpWindow(QWidget* parent);
