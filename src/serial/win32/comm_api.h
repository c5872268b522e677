// The Windows communications calls that the serial port makes, behind a seam so that tests
// can see exactly what is passed to each of them. SystemCommApi forwards to Windows.
#pragma once

#include <windows.h>

#include <string>

namespace tamlo {

class CommApi {
  public:
    virtual ~CommApi() = default;
    virtual HANDLE createFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                              DWORD flags) = 0;
    virtual BOOL setupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL getCommState(HANDLE handle, DCB* dcb) = 0;
    virtual BOOL setCommState(HANDLE handle, DCB* dcb) = 0;
    virtual BOOL setCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL clearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) = 0;
    virtual BOOL readFile(HANDLE handle, void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL writeFile(HANDLE handle, const void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL closeHandle(HANDLE handle) = 0;
    // GetLastError, asked right after a call that failed.
    virtual DWORD lastError() = 0;
    // The system's message for an error code, without its line end or final full stop.
    virtual std::string errorText(DWORD code) = 0;
};

class SystemCommApi final : public CommApi {
  public:
    HANDLE createFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) override;
    BOOL setupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) override;
    BOOL getCommState(HANDLE handle, DCB* dcb) override;
    BOOL setCommState(HANDLE handle, DCB* dcb) override;
    BOOL setCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) override;
    BOOL clearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) override;
    BOOL readFile(HANDLE handle, void* buffer, DWORD count, DWORD* done) override;
    BOOL writeFile(HANDLE handle, const void* buffer, DWORD count, DWORD* done) override;
    BOOL closeHandle(HANDLE handle) override;
    DWORD lastError() override;
    std::string errorText(DWORD code) override;
};

}  // namespace tamlo
