#pragma once
// The windows of a run, created in their order: the main window (which opens the start-up list
// while it is created), the task operations with the task edit dialog and the do-again date
// dialog, and the about box; then the endpoint that takes qmtd's commands. They live until the
// end of the run.

#include <QString>
#include <memory>

class TFormMain;
class TFormAbout;
class TaskOperations;
class TRemoteCommands;

struct TApplicationWindows {
    std::unique_ptr<TFormMain> FormMain;
    std::unique_ptr<TaskOperations> Tasks;
    std::unique_ptr<TFormAbout> FormAbout;
    // qmtd's commands for the open list.
    std::unique_ptr<TRemoteCommands> Remote;

    TApplicationWindows();
    TApplicationWindows(TApplicationWindows&&) noexcept;
    ~TApplicationWindows();
};

// `listFileArgument`: the first command-line argument, empty when none.
TApplicationWindows CreateApplicationWindows(const QString& listFileArgument);
