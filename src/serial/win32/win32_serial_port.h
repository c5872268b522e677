// The serial line to the receiver through the Windows communications calls: the port is
// opened by its device path, set to 1200 baud, 8 data bits, no parity, 2 stop bits, no
// handshake and RTS held off, with fixed time-outs, and read and written synchronously.
#pragma once

#include <windows.h>

#include <memory>

#include "serial/serial_port.h"
#include "serial/win32/comm_api.h"

namespace tamlo {

// Longest port name passed on to CreateFileA after the "\\.\" prefix.
inline constexpr std::size_t kMaxPortNameLength = 59;
inline constexpr int kHighestComPort = 99;

class Win32SerialPort final : public SerialPort {
  public:
    // Talks to Windows.
    Win32SerialPort();
    // Talks to api, which must outlive the port.
    explicit Win32SerialPort(CommApi& api);
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    PortOpening openPort(std::string_view name) override;
    void closePort() override;
    bool isPortOpen() const override;
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::string writeFailure() const override { return writeFailure_; }

  private:
    // Closes handle and says why the open failed, in the system's words too.
    PortOpening refuse(HANDLE handle, OpenRefusal why, DWORD error);

    std::unique_ptr<CommApi> ownApi_;
    CommApi& api_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string writeFailure_;
};

// "\\.\" followed by at most the first 59 characters of name.
std::string devicePath(std::string_view name);

}  // namespace tamlo
