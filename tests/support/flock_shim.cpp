// A file system without locks, for the tests: while QM_FLOCK_FAILS names an error (ENOLCK,
// EOPNOTSUPP or ENOSYS), flock() fails with it, as it does on a network share without its lock
// service; otherwise the real flock() runs. Preloaded (LD_PRELOAD) into the programs a test
// starts, or linked into a test executable itself.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/file.h>

extern "C" int flock(int fd, int operation)
{
    if (const char* fails = std::getenv("QM_FLOCK_FAILS"); fails && *fails) {
        if (std::strcmp(fails, "EOPNOTSUPP") == 0)
            errno = EOPNOTSUPP;
        else if (std::strcmp(fails, "ENOSYS") == 0)
            errno = ENOSYS;
        else
            errno = ENOLCK;
        return -1;
    }
    using Flock = int (*)(int, int);
    static const auto real = reinterpret_cast<Flock>(dlsym(RTLD_NEXT, "flock"));
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, operation);
}
