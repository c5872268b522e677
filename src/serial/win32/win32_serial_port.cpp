#include "serial/win32/win32_serial_port.h"

#include <limits>

namespace tamlo {

Win32SerialPort::Win32SerialPort() : ownApi_(std::make_unique<SystemCommApi>()), api_(*ownApi_) {}

Win32SerialPort::Win32SerialPort(CommApi& api) : api_(api) {}

Win32SerialPort::~Win32SerialPort() {
    closePort();
}

std::string devicePath(std::string_view name) {
    std::string path = "\\\\.\\";
    path += name.substr(0, kMaxPortNameLength);
    return path;
}

PortOpening Win32SerialPort::refuse(HANDLE handle, OpenRefusal why, DWORD error) {
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr) {
        api_.closeHandle(handle);
    }
    PortOpening opening;
    opening.refusal = why;
    opening.systemText = api_.errorText(error);
    return opening;
}

PortOpening Win32SerialPort::openPort(std::string_view name) {
    // Callers open only with no port open; a second handle must not leak if one ever does.
    closePort();
    writeFailure_.clear();

    // CreateFileA reads a C string: a name holding a zero byte ends there.
    const std::string path = devicePath(name);
    HANDLE handle =
        api_.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        const DWORD error = api_.lastError();
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return refuse(nullptr, OpenRefusal::Missing, error);
            // Windows reports a port that another program has open so: it opens no
            // device twice.
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
                return refuse(nullptr, OpenRefusal::InUse, error);
            default:
                return refuse(nullptr, OpenRefusal::Other, error);
        }
    }

    // The driver's queues; a driver that keeps its own sizes still works.
    api_.setupComm(handle, static_cast<DWORD>(kQueueSize), static_cast<DWORD>(kQueueSize));

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!api_.getCommState(handle, &dcb)) {
        return refuse(handle, OpenRefusal::NotSerialPort, api_.lastError());
    }
    // Only these options are changed: everything else stays as the driver reported it.
    dcb.BaudRate = static_cast<DWORD>(kBaudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!api_.setCommState(handle, &dcb)) {
        return refuse(handle, OpenRefusal::LineSettings, api_.lastError());
    }

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = static_cast<DWORD>(kReadIntervalMs);
    timeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(kReadTotalPerByteMs);
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(kReadTotalConstantMs);
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(kWriteTotalPerByteMs);
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(kWriteTotalConstantMs);
    api_.setCommTimeouts(handle, &timeouts);

    handle_ = handle;
    return {};
}

void Win32SerialPort::closePort() {
    if (handle_ == INVALID_HANDLE_VALUE) {
        return;
    }
    api_.closeHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool Win32SerialPort::isPortOpen() const {
    return handle_ != INVALID_HANDLE_VALUE;
}

int32_t Win32SerialPort::bytesWaiting() {
    if (!isPortOpen()) {
        return 0;
    }
    // Also clears a pending line error, which would otherwise stop further reads.
    DWORD errors = 0;
    COMSTAT status{};
    if (!api_.clearCommError(handle_, &errors, &status)) {
        return 0;
    }
    constexpr DWORD kMax = static_cast<DWORD>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(status.cbInQue > kMax ? kMax : status.cbInQue);
}

int32_t Win32SerialPort::readPort(uint8_t* buffer, int32_t count) {
    if (!isPortOpen() || buffer == nullptr || count <= 0) {
        return 0;
    }
    DWORD done = 0;
    if (!api_.readFile(handle_, buffer, static_cast<DWORD>(count), &done)) {
        return 0;
    }
    // A driver never reports more than asked; the clamp keeps the result in range anyway.
    return done > static_cast<DWORD>(count) ? count : static_cast<int32_t>(done);
}

int32_t Win32SerialPort::writePort(const uint8_t* buffer, int32_t count) {
    if (!isPortOpen() || buffer == nullptr || count <= 0) {
        return 0;
    }
    DWORD done = 0;
    if (!api_.writeFile(handle_, buffer, static_cast<DWORD>(count), &done)) {
        if (writeFailure_.empty()) {
            writeFailure_ = api_.errorText(api_.lastError());  // a pulled adapter, say
        }
        return 0;
    }
    return done > static_cast<DWORD>(count) ? count : static_cast<int32_t>(done);
}

}  // namespace tamlo
