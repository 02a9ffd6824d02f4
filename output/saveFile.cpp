#include "saveFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "diag.h"
#include "fcrypt.h"

saveFile::~saveFile()
{
    abandon();
}

int32 saveFile::open(const std::string& finalPath)
{
    abandon();
    const std::size_t slash = finalPath.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
    std::string pattern = dir + ".tavsave-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return SVF_CREATE;
    fp_ = fdopen(fd, "wb+");
    if (!fp_) {
        ::close(fd);
        ::unlink(name.data());
        return SVF_CREATE;
    }
    tmp_ = name.data();
    final_ = finalPath;
    return SVF_OK;
}

int32 saveFile::commit(const std::string* keyText)
{
    if (!fp_)
        return SVF_FINISH;
    if (std::fflush(fp_) != 0 || std::ferror(fp_)) {
        abandon();
        return SVF_FINISH;
    }
    if (keyText) {
        // In place: the stream is both input and output, synced by the cipher when done.
        const int32 rc = cryptFile(fp_, fp_, nullptr, keyText->c_str(), CRYPT_ENCRYPT);
        if (rc != CRYPT_OK) {
            DIAG("\n***SAVE_IMAGE(): cryptFile() = %d", rc);
            abandon();
            return SVF_CRYPT;
        }
    }
    const int fd = fileno(fp_);
    // The temporary was made private; the finished image gets what a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    bool ok = std::fflush(fp_) == 0 && fchmod(fd, 0666 & ~mask) == 0 && fsync(fd) == 0;
    ok = std::fclose(fp_) == 0 && ok;
    fp_ = nullptr;
    if (!ok || std::rename(tmp_.c_str(), final_.c_str()) != 0) {
        DIAG("\n***SAVE_IMAGE(): cannot complete %s: %s", final_.c_str(), std::strerror(errno));
        abandon();
        return SVF_FINISH;
    }
    tmp_.clear();
    return SVF_OK;
}

void saveFile::abandon()
{
    if (fp_) {
        std::fclose(fp_);
        fp_ = nullptr;
    }
    if (!tmp_.empty()) {
        ::unlink(tmp_.c_str());
        tmp_.clear();
    }
}
