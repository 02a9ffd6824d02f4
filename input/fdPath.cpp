#include "fdPath.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "diag.h"

streamFdPath::~streamFdPath()
{
    reset();
}

streamFdPath::streamFdPath(streamFdPath&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)), path_(std::move(o.path_))
{
    o.path_.clear();
}

streamFdPath& streamFdPath::operator=(streamFdPath&& o) noexcept
{
    if (this != &o) {
        reset();
        fd_ = std::exchange(o.fd_, -1);
        path_ = std::move(o.path_);
        o.path_.clear();
    }
    return *this;
}

bool streamFdPath::open(std::FILE* fp)
{
    reset();
    if (!fp)
        return false;
    // Bytes still in the stream's buffer must reach the file before another
    // description reads it.
    if (std::fflush(fp) != 0)
        return false;
    const int src = fileno(fp);
    if (src < 0)
        return false;
    // Close-on-exec: the name is for this process only.
    const int dup = fcntl(src, F_DUPFD_CLOEXEC, 0);
    if (dup < 0) {
        DIAG("\n***streamFdPath: cannot duplicate descriptor %d (errno %d)", src, errno);
        return false;
    }
    fd_ = dup;
    path_ = "/proc/self/fd/" + std::to_string(dup);
    return true;
}

void streamFdPath::reset()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}
