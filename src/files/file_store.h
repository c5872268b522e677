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
    std::string error;      // the system's reason, worded for the user; empty when read
    bool missing = false;   // the reason is that there is no such file
    bool tooLarge = false;  // the reason is the bound on its size
    bool ok() const { return error.empty(); }
};

// The reason for a file refused by its size, the same on every platform; kind says what the
// file was read as.
inline std::string tooLargeText(int64_t maxBytes, std::string_view kind = "settings file") {
    const std::string limit = maxBytes % (1024 * 1024) == 0
                                  ? std::to_string(maxBytes / (1024 * 1024)) + " MiB"
                              : maxBytes % 1024 == 0 ? std::to_string(maxBytes / 1024) + " KiB"
                                                     : std::to_string(maxBytes) + " bytes";
    return "larger than " + limit + ", so not a " + std::string(kind);
}

// Safe to use from many threads at once.
class FileStore {
  public:
    virtual ~FileStore() = default;
    // The whole file; refused without reading on when it is larger than maxBytes. Errors:
    // "no such file", "is a folder, not a file", "permission denied", "larger than ...".
    virtual FileText read(const std::string& path, int64_t maxBytes) = 0;
    // Why path cannot be written, before anything else is done (before a receiver is read
    // for it): it is a folder; it is something other than a regular file (a FIFO, a device,
    // a socket, a name Windows keeps for a device); its folder does not exist or cannot be
    // written; or it could be a trap that another user set: a symbolic link that the
    // system's protected-symlinks rule would not follow, or a file of another user in a
    // folder where anyone may make files. Empty when it can be written.
    virtual std::string cannotWrite(const std::string& path) = 0;
    // Writes bytes to a temporary file in path's folder, flushes it to the disk and renames
    // it over path, after the checks of cannotWrite. A symbolic link at path is followed
    // (the file it points to is replaced); an existing file keeps its owner and its
    // permission bits as far as the umask lets them through. Empty on success; else the
    // reason, with path as it was and no temporary file left behind.
    virtual std::string replace(const std::string& path, std::string_view bytes) = 0;
    // Why the configuration file at path is not to be trusted by the user who runs the
    // program, as ssh refuses such a file: it, or a folder it lies in, belongs to another
    // user than that one or root, or can be changed by others than its owner (a folder with
    // the sticky bit aside). The reason says what to do. Empty when it can be trusted or
    // does not exist. A system without owners and modes trusts every file.
    virtual std::string notTrusted(const std::string& path) {
        (void)path;
        return {};
    }
    // Whether path is a folder (a symbolic link to one included).
    virtual bool isFolder(const std::string& path) = 0;
    // Makes the folder path (its parent must exist); empty on success or when it is a folder
    // already, else the reason.
    virtual std::string makeFolder(const std::string& path) = 0;
};

}  // namespace tamlo
