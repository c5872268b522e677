// Reading and writing the user's files, behind the platform: a settings file is read whole
// but never beyond a bound, and written whole or not at all. A failed write (a full disk, a
// file-size limit, a pulled USB stick) leaves the old file byte for byte: the backup a user
// keeps must never be the casualty of the backup that failed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tamlo {

struct FileText {
    std::string text;
    std::string error;     // the system's reason, worded for the user; empty when read
    bool missing = false;  // the reason is that there is no such file
    bool ok() const { return error.empty(); }
};

// The reason for a file refused by its size, the same on every platform.
inline std::string tooLargeText(int64_t maxBytes) {
    return "larger than " +
           (maxBytes % 1024 == 0 ? std::to_string(maxBytes / 1024) + " KiB"
                                 : std::to_string(maxBytes) + " bytes") +
           ", so not a settings file";
}

// Safe to use from many threads at once.
class FileStore {
  public:
    virtual ~FileStore() = default;
    // The whole file; refused without reading on when it is larger than maxBytes. Errors:
    // "no such file", "is a folder, not a file", "permission denied", "larger than ...".
    virtual FileText read(const std::string& path, int64_t maxBytes) = 0;
    // Why path cannot be written, before anything else is done: it is a folder, or its
    // folder does not exist or cannot be written. Empty when it can be.
    virtual std::string cannotWrite(const std::string& path) = 0;
    // Writes bytes to a temporary file in path's folder, flushes it to the disk and renames
    // it over path. A symbolic link at path is followed (the file it points to is replaced),
    // and an existing file keeps its permission bits. Empty on success; else the reason,
    // with path as it was and no temporary file left behind.
    virtual std::string replace(const std::string& path, std::string_view bytes) = 0;
    // Whether path is a folder (a symbolic link to one included).
    virtual bool isFolder(const std::string& path) = 0;
    // Makes the folder path (its parent must exist); empty on success or when it is a folder
    // already, else the reason.
    virtual std::string makeFolder(const std::string& path) = 0;
};

}  // namespace tamlo
