#include "files/win32/win32_file_store.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "files/file_names.h"

namespace tamlo {

namespace {

std::string systemText(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such file";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        default:
            break;
    }
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = length > 0 && text != nullptr ? std::string(text, length)
                                                    : "system error " + std::to_string(error);
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
        out.pop_back();
    }
    return out;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

FileText Win32FileStore::read(const std::string& path, int64_t maxBytes) {
    FileText result;
    if (isFolder(path)) {
        result.error = "is a folder, not a file";
        return result;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        result.error = systemText(error);
        return result;
    }
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error != ERROR_BROKEN_PIPE) {
                result.error = systemText(error);
            }
            break;
        }
        if (got == 0) {
            break;
        }
        if (static_cast<int64_t>(result.text.size()) + got > maxBytes) {
            result.error = tooLargeText(maxBytes);
            result.tooLarge = true;
            break;
        }
        result.text.append(buffer, got);
    }
    CloseHandle(file);
    if (!result.ok()) {
        result.text.clear();
    }
    return result;
}

std::string Win32FileStore::cannotWrite(const std::string& path) {
    if (isFolder(path)) {
        return "is a folder, not a file";
    }
    // \\.\COM7, \\.\pipe\x and COM7.toml in any folder all open a device, not a file.
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0 ||
        isWindowsDeviceName(baseOf(path))) {
        return "is a name Windows keeps for a device, not a regular file";
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return "is a device, not a regular file";
    }
    const std::string folder = folderOf(path);
    if (!isFolder(folder)) {
        return "its folder " + folder + " does not exist";
    }
    return {};
}

std::string Win32FileStore::replace(const std::string& path, std::string_view bytes) {
    if (std::string refused = cannotWrite(path); !refused.empty()) {
        return refused;
    }
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folderOf(path) + "\\" + baseOf(path) + ".tamlo-" +
                    std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++temporaryCount_);
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return systemText(GetLastError());
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return systemText(ERROR_FILE_EXISTS);
    }
    const auto fail = [&](DWORD error) {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
        DeleteFileA(temporary.c_str());
        return systemText(error);
    };
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr) || put == 0) {
            return fail(GetLastError());
        }
        done += put;
    }
    if (!FlushFileBuffers(file)) {
        return fail(GetLastError());
    }
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    // ReplaceFileA keeps the replaced file's attributes and access rights.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool replaced =
        attributes != INVALID_FILE_ATTRIBUTES
            ? ReplaceFileA(path.c_str(), temporary.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
            : MoveFileExA(temporary.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced) {
        return fail(GetLastError());
    }
    return {};
}

bool Win32FileStore::isFolder(const std::string& path) {
    return tamlo::isFolder(path);
}

std::string Win32FileStore::makeFolder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr) ||
        (GetLastError() == ERROR_ALREADY_EXISTS && tamlo::isFolder(path))) {
        return {};
    }
    return systemText(GetLastError());
}

}  // namespace tamlo
