#pragma once
// Other processes for the hold tests: a child that runs a check, as the user nobody if asked,
// and a child that holds a file until it is killed.

#include "platform/exclusive_file_hold.h"

#include <QString>
#include <csignal>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `body` in a child process; the result is its return value as the child's exit status,
// 99 when the child could not become nobody, -1 when it did not end normally.
inline int RunInChild(const std::function<int()>& body, bool asNobody = false)
{
    const pid_t child = fork();
    if (child == 0) {
        if (asNobody) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
                setuid(nobody->pw_uid) != 0)
                _exit(99);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child process that takes the hold of `path` and keeps it until it is killed.
class HoldingChild {
public:
    explicit HoldingChild(const QString& path)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        FPid = fork();
        if (FPid == 0) {
            ExclusiveFileHold held;
            const bool got = held.open(path, ExclusiveFileHold::Mode::OpenExisting);
            (void)!write(ready[1], got ? "1" : "0", 1);
            pause();
            _exit(0);
        }
        char answer = 0;
        FHolds = read(ready[0], &answer, 1) == 1 && answer == '1';
        close(ready[0]);
        close(ready[1]);
    }
    ~HoldingChild() { kill(); }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

    bool holds() const { return FHolds; }
    // Kills it at once, as a crash would: it releases nothing itself.
    void kill()
    {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
    }

private:
    pid_t FPid = -1;
    bool FHolds = false;
};
