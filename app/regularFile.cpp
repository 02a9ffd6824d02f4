#include "regularFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* openRegularFile(const std::string& path, bool update)
{
    // A look at the name first keeps devices from being opened at all; the name may be
    // replaced in between, so O_NONBLOCK keeps a pipe that took its place from blocking the
    // open, and fstat checks what was really opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd =
        ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, update ? "r+" : "r");
    if (!f)
        ::close(fd);
    return f;
}
