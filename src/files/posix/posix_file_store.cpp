#include "files/posix/posix_file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// The path that a chain of symbolic links at path ends in (path itself when it is none);
// the last link may point to a file that does not exist yet.
std::string followLinks(std::string path) {
    for (int depth = 0; depth < kMaxLinks; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::string target(4096, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
            return path;
        }
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : folderOf(path) + "/" + target;
    }
    return path;
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
    const std::string target = followLinks(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return "is a folder, not a file";
    }
    const std::string folder = folderOf(target);
    if (::stat(folder.c_str(), &info) != 0) {
        return "its folder " + folder + " does not exist";
    }
    if (!S_ISDIR(info.st_mode)) {
        return folder + " is not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "its folder " + folder + " cannot be written: " + reasonOf(errno);
    }
    return {};
}

std::string PosixFileStore::replace(const std::string& path, std::string_view bytes) {
    const std::string target = followLinks(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    int error = 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            return reasonOf(EISDIR);
        }
        // A terminal, a pipe or /dev/stdout cannot be renamed over: written in place.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            return reasonOf(errno);
        }
        const bool written = writeAll(fd, bytes, error);
        ::close(fd);
        return written ? std::string() : reasonOf(error);
    }

    const std::string folder = folderOf(target);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + baseOf(target) + ".tamlo-" + std::to_string(::getpid()) + "-" +
                    std::to_string(++temporaryCount_);
        // A new file gets the usual mode (0666 less the umask); an existing one keeps its own.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    exists ? 0600 : 0666);
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
        if (::fchmod(fd, existing.st_mode & 07777) != 0) {
            return fail(errno);
        }
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
