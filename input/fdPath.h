// A file name for an open stream, for readers whose codec library only opens files by
// name: the decrypted copy of an encrypted file is an anonymous temporary file, so the
// original name would read the encrypted bytes.
#pragma once

#include <cstdio>
#include <string>

/// Owner of a private duplicate of a stream's descriptor and of the "/proc/self/fd/N" name
/// that reaches it. The name stays valid until the owner is reset or destroyed.
class streamFdPath {
public:
    streamFdPath() = default;
    ~streamFdPath();
    streamFdPath(const streamFdPath&) = delete;
    streamFdPath& operator=(const streamFdPath&) = delete;
    streamFdPath(streamFdPath&& o) noexcept;
    streamFdPath& operator=(streamFdPath&& o) noexcept;

    /// Flushes the stream, duplicates its descriptor and names the duplicate; false on failure.
    bool open(std::FILE* fp);
    /// Closes the duplicate; safe twice.
    void reset();
    /// True while a name is held.
    bool ok() const { return fd_ >= 0; }
    /// The name ("" when none).
    const char* c_str() const { return path_.c_str(); }

private:
    int fd_ = -1;
    std::string path_;
};
