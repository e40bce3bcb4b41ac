// Preloaded into a program (LD_PRELOAD) to make every fdatasync fail as a failing disk would:
// with EIO, or with the error number given in QV_FAIL_SYNC_ERRNO.
#include <cerrno>
#include <cstdlib>

extern "C" int fdatasync(int) {
    const char* given = std::getenv("QV_FAIL_SYNC_ERRNO");
    errno = given ? std::atoi(given) : EIO;
    return -1;
}
