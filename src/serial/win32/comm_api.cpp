#include "serial/win32/comm_api.h"

#include <string>

namespace tamlo {

HANDLE SystemCommApi::createFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                                 DWORD flags) {
    return ::CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL SystemCommApi::setupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
    return ::SetupComm(handle, inQueue, outQueue);
}

BOOL SystemCommApi::getCommState(HANDLE handle, DCB* dcb) {
    return ::GetCommState(handle, dcb);
}

BOOL SystemCommApi::setCommState(HANDLE handle, DCB* dcb) {
    return ::SetCommState(handle, dcb);
}

BOOL SystemCommApi::setCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    return ::SetCommTimeouts(handle, timeouts);
}

BOOL SystemCommApi::clearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
    return ::ClearCommError(handle, errors, status);
}

BOOL SystemCommApi::readFile(HANDLE handle, void* buffer, DWORD count, DWORD* done) {
    return ::ReadFile(handle, buffer, count, done, nullptr);
}

BOOL SystemCommApi::writeFile(HANDLE handle, const void* buffer, DWORD count, DWORD* done) {
    return ::WriteFile(handle, buffer, count, done, nullptr);
}

BOOL SystemCommApi::closeHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

DWORD SystemCommApi::lastError() {
    return ::GetLastError();
}

std::string SystemCommApi::errorText(DWORD code) {
    char buffer[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length < sizeof buffer ? length : 0);
    // "The system cannot find the file specified.\r\n" reads as one clause in a sentence.
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace tamlo
