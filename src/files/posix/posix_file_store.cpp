#include "files/posix/posix_file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tamlo {

namespace {

// Symbolic links followed no deeper than the system itself follows them.
constexpr int kMaxLinks = 40;

std::string reasonOf(int error) {
    switch (error) {
        case ENOENT:
            return "no such file";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EISDIR:
            return "is a folder, not a file";
        default:
            return std::strerror(error);
    }
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A folder where anyone may make files but only a file's owner may remove it (/tmp): the
// place where one user sets a trap for another.
bool sharedFolder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

std::string userText(uid_t uid) {
    return "user " + std::to_string(uid);
}

std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "something else";
}

// Follows the chain of symbolic links at path into target (path itself when it is none; the
// last link may point to a file that does not exist yet). The store follows these links
// itself, so the kernel's protected-symlinks rule never sees them: it is applied here. A
// link in a shared folder is followed only when it belongs to the user who runs the
// program or to the folder's owner. Empty, or why a link is not followed.
std::string followLinks(const std::string& path, std::string& target) {
    target = path;
    for (int depth = 0; depth < kMaxLinks; ++depth) {
        struct stat link {};
        if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            return {};
        }
        const std::string folder = folderOf(target);
        struct stat holder {};
        if (::stat(folder.c_str(), &holder) == 0 && sharedFolder(holder) &&
            link.st_uid != ::geteuid() && link.st_uid != holder.st_uid) {
            return target + " is a symbolic link of " + userText(link.st_uid) + " in " + folder +
                   ", where anyone may make files: not followed";
        }
        std::string next(4096, '\0');
        const ssize_t length = ::readlink(target.c_str(), next.data(), next.size());
        if (length <= 0 || static_cast<size_t>(length) >= next.size()) {
            return {};
        }
        next.resize(static_cast<size_t>(length));
        target = next.front() == '/' ? next : folder + "/" + next;
    }
    return {};
}

// What cannotWrite says of path, with the file that is to be replaced in target.
std::string checkTarget(const std::string& path, std::string& target) {
    if (std::string refused = followLinks(path, target); !refused.empty()) {
        return refused;
    }
    struct stat info {};
    // The system follows the links as the program would open them (/dev/stdout included).
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return reasonOf(EISDIR);
        }
        if (!S_ISREG(info.st_mode)) {
            return "is " + kindOf(info.st_mode) + ", not a regular file";
        }
    }
    const bool exists = ::lstat(target.c_str(), &info) == 0;
    const std::string folder = folderOf(target);
    struct stat holder {};
    if (::stat(folder.c_str(), &holder) != 0) {
        return "its folder " + folder + " does not exist";
    }
    if (!S_ISDIR(holder.st_mode)) {
        return folder + " is not a folder";
    }
    if (exists && sharedFolder(holder) && info.st_uid != ::geteuid() &&
        info.st_uid != holder.st_uid) {
        return target + " belongs to " + userText(info.st_uid) + " and lies in " + folder +
               ", where anyone may make files: it may have been put there for this, so it is "
               "not replaced";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "its folder " + folder + " cannot be written: " + reasonOf(errno);
    }
    return {};
}

bool writeAll(int fd, std::string_view bytes, int& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            error = errno;
            return false;
        }
    }
    return true;
}

}  // namespace

FileText PosixFileStore::read(const std::string& path, int64_t maxBytes) {
    FileText result;
    // Without O_NONBLOCK the open of a pipe nobody writes to would wait for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        result.error = reasonOf(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            ::close(fd);
            result.error = reasonOf(EISDIR);
            return result;
        }
        if (!S_ISREG(info.st_mode)) {
            // A pipe (a shell's <(...)) is read as it comes.
            const int flags = ::fcntl(fd, F_GETFL);
            (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = reasonOf(errno);
            break;
        }
        if (static_cast<int64_t>(result.text.size()) + n > maxBytes) {
            result.error = tooLargeText(maxBytes);
            result.tooLarge = true;
            break;
        }
        result.text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!result.ok()) {
        result.text.clear();
    }
    return result;
}

std::string PosixFileStore::cannotWrite(const std::string& path) {
    std::string target;
    return checkTarget(path, target);
}

std::string PosixFileStore::replace(const std::string& path, std::string_view bytes) {
    std::string target;
    if (std::string refused = checkTarget(path, target); !refused.empty()) {
        return refused;
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    int error = 0;
    const std::string folder = folderOf(target);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + baseOf(target) + ".tamlo-" + std::to_string(::getpid()) + "-" +
                    std::to_string(++temporaryCount_);
        // A new file gets the usual mode (0666 less the umask); an existing one keeps its
        // own less the umask, so that a file made writable by all is not kept so by root.
        // The system applies the umask as the file is made, before a byte is in it.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    exists ? existing.st_mode & 0777 : 0666);
        if (fd < 0 && errno != EEXIST) {
            return reasonOf(errno);
        }
    }
    if (fd < 0) {
        return reasonOf(EEXIST);
    }
    const auto fail = [&](int code) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        return reasonOf(code);
    };
    if (exists) {
        // Only root may give a file away; for anyone else the owner is already theirs.
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (!writeAll(fd, bytes, error)) {
        return fail(error);
    }
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        return fail(errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return {};
}

std::string PosixFileStore::notTrusted(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string place = resolved;
    ::free(resolved);
    const uid_t me = ::geteuid();
    // The file, then each folder above it up to the root: any of them that another user may
    // change lets that user choose what is in the file.
    for (bool file = true;; file = false) {
        struct stat info {};
        if (::stat(place.c_str(), &info) != 0) {
            return {};
        }
        const std::string what = file ? "it" : "its folder " + place;
        if (info.st_uid != me && info.st_uid != 0) {
            return what + " belongs to " + userText(info.st_uid) + ", not to " +
                   (me == 0 ? "root" : userText(me) + " or root") +
                   ", so not used: its names choose the devices this program writes to (chown " +
                   (me == 0 ? "root" : std::to_string(me)) + " " + place + ", or remove it)";
        }
        // A folder with the sticky bit lets no one replace another's file; a group that is the
        // user's own (a user private group, as most systems give) is no other user.
        const bool sticky = !file && (info.st_mode & S_ISVTX) != 0;
        const mode_t others = info.st_gid == ::getegid() ? S_IWOTH : S_IWGRP | S_IWOTH;
        if ((info.st_mode & others) != 0 && !sticky) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
            return what + " can be changed by others than its owner (mode " + mode +
                   "), so not used: its names choose the devices this program writes to "
                   "(chmod go-w " +
                   place + ")";
        }
        if (place == "/") {
            return {};
        }
        place = folderOf(place);
    }
}

bool PosixFileStore::isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string PosixFileStore::makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && isFolder(path))) {
        return {};
    }
    return reasonOf(errno);
}

}  // namespace tamlo
