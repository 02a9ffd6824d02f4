// A saved image is written under a temporary name in its own directory and only takes its
// final name when complete (and, when asked, encrypted and synced), so a failed save never
// leaves a partial or a plain image under the name the user gave.
#pragma once

#include <cstdio>
#include <string>

#include "tavtypes.h"

/// Save-file statuses.
enum : int32 {
    SVF_OK = 0,
    SVF_CREATE = -1, ///< the temporary could not be created in the target directory
    SVF_CRYPT = -2,  ///< encryption of the finished file failed
    SVF_FINISH = -3  ///< flush, sync, close or rename failed
};

/// One file being saved.
class saveFile {
public:
    saveFile() = default;
    ~saveFile();
    saveFile(const saveFile&) = delete;
    saveFile& operator=(const saveFile&) = delete;

    /// Creates the temporary (mode 0600) beside `finalPath`, open for reading and writing.
    int32 open(const std::string& finalPath);
    /// The stream to write the image to (null when not open).
    std::FILE* stream() const { return fp_; }
    /// Completes the save: with a key text the file is encrypted in place from the cipher's
    /// initial state for that key; then it is synced, given the usual permissions and renamed
    /// to the final path (replacing a file there). On failure the temporary is removed.
    int32 commit(const std::string* keyText);
    /// Removes the temporary; safe twice, and done by the destructor when not committed.
    void abandon();
    /// The temporary's path (empty when none).
    const std::string& tempPath() const { return tmp_; }

private:
    std::FILE* fp_ = nullptr;
    std::string tmp_, final_;
};
