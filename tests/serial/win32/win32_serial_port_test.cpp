// The serial port's use of the Windows communications calls, seen through a recording fake.
#include "serial/win32/win32_serial_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "serial/win32/win32_clock.h"
#include "serial/win32/win32_port_details.h"
#include "serial/win32/win32_port_lister.h"

namespace tamlo {
namespace {

HANDLE fakeHandle() {
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4242));
}

// A driver whose answers the test sets, and which records what it is asked.
class FakeCommApi final : public CommApi {
  public:
    // Answers
    bool opens = true;
    bool setupWorks = true;
    bool getStateWorks = true;
    bool setStateWorks = true;
    bool timeoutsWork = true;
    bool statusWorks = true;
    bool readWorks = true;
    bool writeWorks = true;
    DWORD queued = 0;
    DWORD transferred = 0;
    DWORD error = 0;  // GetLastError after a failure
    DCB reportedState{};

    // Record
    std::vector<std::string> calls;
    std::string path;
    DWORD access = 0;
    DWORD share = 0xFFFFFFFF;
    DWORD disposition = 0;
    DWORD flags = 0xFFFFFFFF;
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    DCB appliedState{};
    COMMTIMEOUTS appliedTimeouts{};
    DWORD requested = 0;
    std::vector<HANDLE> closed;

    HANDLE createFile(const char* devicePath, DWORD access_, DWORD share_, DWORD disposition_,
                      DWORD flags_) override {
        calls.push_back("CreateFile");
        path = devicePath;
        access = access_;
        share = share_;
        disposition = disposition_;
        flags = flags_;
        return opens ? fakeHandle() : INVALID_HANDLE_VALUE;
    }
    BOOL setupComm(HANDLE, DWORD in, DWORD out) override {
        calls.push_back("SetupComm");
        inQueue = in;
        outQueue = out;
        return setupWorks;
    }
    BOOL getCommState(HANDLE, DCB* dcb) override {
        calls.push_back("GetCommState");
        if (getStateWorks) {
            *dcb = reportedState;
        }
        return getStateWorks;
    }
    BOOL setCommState(HANDLE, DCB* dcb) override {
        calls.push_back("SetCommState");
        appliedState = *dcb;
        return setStateWorks;
    }
    BOOL setCommTimeouts(HANDLE, COMMTIMEOUTS* timeouts) override {
        calls.push_back("SetCommTimeouts");
        appliedTimeouts = *timeouts;
        return timeoutsWork;
    }
    BOOL clearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        calls.push_back("ClearCommError");
        *errors = CE_FRAME;
        status->cbInQue = queued;
        return statusWorks;
    }
    BOOL readFile(HANDLE, void* buffer, DWORD count, DWORD* done) override {
        calls.push_back("ReadFile");
        requested = count;
        std::memset(buffer, 'r', count);
        *done = readWorks ? transferred : 0;
        return readWorks;
    }
    BOOL writeFile(HANDLE, const void*, DWORD count, DWORD* done) override {
        calls.push_back("WriteFile");
        requested = count;
        *done = writeWorks ? transferred : 0;
        return writeWorks;
    }
    BOOL closeHandle(HANDLE handle) override {
        calls.push_back("CloseHandle");
        closed.push_back(handle);
        error = 0;  // the failure's code is gone once another call has run
        return TRUE;
    }
    DWORD lastError() override { return error; }
    std::string errorText(DWORD code) override { return "text of error " + std::to_string(code); }
};

// Line options as an unusual driver might report them, so that any option the port
// changes without being asked to shows up.
DCB unusualState() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 57600;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fDsrSensitivity = TRUE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fErrorChar = TRUE;
    dcb.fNull = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fAbortOnError = TRUE;
    dcb.XonLim = 11;
    dcb.XoffLim = 22;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '!';
    return dcb;
}

TEST(Win32SerialPortOpen, DevicePathIsTheNameCutTo59Characters) {
    const std::string long70(70, 'x');
    struct Case {
        std::string name;
        std::string path;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM42", "\\\\.\\COM42"},
        {"", "\\\\.\\"},
        {std::string(59, 'y'), "\\\\.\\" + std::string(59, 'y')},
        {long70, "\\\\.\\" + long70.substr(0, 59)},
    };
    for (const Case& c : cases) {
        FakeCommApi api;
        Win32SerialPort port(api);
        port.openPort(c.name);
        EXPECT_EQ(api.path, c.path) << c.name;
    }
}

TEST(Win32SerialPortOpen, OpensExclusivelyForReadAndWriteWithoutOverlappedIo) {
    FakeCommApi api;
    api.reportedState = unusualState();
    Win32SerialPort port(api);
    ASSERT_TRUE(port.openPort("COM3"));
    EXPECT_TRUE(port.isPortOpen());
    EXPECT_EQ(api.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(api.share, 0u);
    EXPECT_EQ(api.disposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(api.flags & FILE_FLAG_OVERLAPPED, 0u);
    EXPECT_EQ(api.inQueue, 1024u);
    EXPECT_EQ(api.outQueue, 1024u);
    const std::vector<std::string> order = {"CreateFile", "SetupComm", "GetCommState",
                                            "SetCommState", "SetCommTimeouts"};
    EXPECT_EQ(api.calls, order);
}

TEST(Win32SerialPortOpen, ChangesOnlyTheReceiversLineOptions) {
    FakeCommApi api;
    api.reportedState = unusualState();
    Win32SerialPort port(api);
    ASSERT_TRUE(port.openPort("COM3"));

    DCB expected = unusualState();
    expected.BaudRate = 1200;
    expected.ByteSize = 8;
    expected.Parity = NOPARITY;
    expected.StopBits = TWOSTOPBITS;
    expected.fOutxCtsFlow = FALSE;
    expected.fRtsControl = RTS_CONTROL_DISABLE;
    EXPECT_EQ(std::memcmp(&api.appliedState, &expected, sizeof(DCB)), 0)
        << "baud " << api.appliedState.BaudRate << ", DTR " << api.appliedState.fDtrControl
        << ", DSR flow " << api.appliedState.fOutxDsrFlow << ", XON/XOFF " << api.appliedState.fOutX
        << api.appliedState.fInX;
}

TEST(Win32SerialPortOpen, SetsTheFiveTimeouts) {
    FakeCommApi api;
    Win32SerialPort port(api);
    ASSERT_TRUE(port.openPort("COM3"));
    EXPECT_EQ(api.appliedTimeouts.ReadIntervalTimeout, 100u);
    EXPECT_EQ(api.appliedTimeouts.ReadTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(api.appliedTimeouts.ReadTotalTimeoutConstant, 100u);
    EXPECT_EQ(api.appliedTimeouts.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(api.appliedTimeouts.WriteTotalTimeoutConstant, 10u);
}

TEST(Win32SerialPortOpen, FailuresCloseWhatWasOpenedAndSayWhy) {
    const auto noOpen = [](FakeCommApi& a) { a.opens = false; };
    struct Case {
        const char* what;
        void (*breakIt)(FakeCommApi&);
        DWORD error;  // what GetLastError says then
        OpenRefusal refusal;
        size_t closes;
    } cases[] = {
        {"device missing", noOpen, ERROR_FILE_NOT_FOUND, OpenRefusal::Missing, 0},
        {"no such path", noOpen, ERROR_PATH_NOT_FOUND, OpenRefusal::Missing, 0},
        // Windows opens no port twice: another program's is refused so.
        {"held, access denied", noOpen, ERROR_ACCESS_DENIED, OpenRefusal::InUse, 0},
        {"held, sharing violation", noOpen, ERROR_SHARING_VIOLATION, OpenRefusal::InUse, 0},
        {"driver failure", noOpen, ERROR_GEN_FAILURE, OpenRefusal::Other, 0},
        {"line options unreadable", [](FakeCommApi& a) { a.getStateWorks = false; },
         ERROR_INVALID_FUNCTION, OpenRefusal::NotSerialPort, 1},
        {"line options refused", [](FakeCommApi& a) { a.setStateWorks = false; },
         ERROR_INVALID_PARAMETER, OpenRefusal::LineSettings, 1},
        {"queue sizes refused", [](FakeCommApi& a) { a.setupWorks = false; }, 0, OpenRefusal::None,
         0},
        {"time-outs refused", [](FakeCommApi& a) { a.timeoutsWork = false; }, 0, OpenRefusal::None,
         0},
    };
    for (const Case& c : cases) {
        FakeCommApi api;
        c.breakIt(api);
        api.error = c.error;
        Win32SerialPort port(api);
        const PortOpening opening = port.openPort("COM5");
        const bool opens = c.refusal == OpenRefusal::None;
        EXPECT_EQ(opening.refusal, c.refusal) << c.what;
        // The system's words, asked before the handle was closed.
        EXPECT_EQ(opening.systemText, opens ? "" : "text of error " + std::to_string(c.error))
            << c.what;
        EXPECT_EQ(port.isPortOpen(), opens) << c.what;
        EXPECT_EQ(api.closed.size(), c.closes) << c.what;
        for (HANDLE handle : api.closed) {
            EXPECT_EQ(handle, fakeHandle()) << c.what;
        }
    }
}

TEST(Win32SerialPortOpen, ClosesTheHandleOnceAndAtDestruction) {
    FakeCommApi api;
    {
        Win32SerialPort port(api);
        ASSERT_TRUE(port.openPort("COM1"));
        port.closePort();
        EXPECT_FALSE(port.isPortOpen());
        port.closePort();
        EXPECT_EQ(api.closed.size(), 1u);
        ASSERT_TRUE(port.openPort("COM1"));
    }
    EXPECT_EQ(api.closed.size(), 2u);
}

TEST(Win32SerialPortOpen, OpeningAgainDoesNotLeakTheFirstHandle) {
    FakeCommApi api;
    Win32SerialPort port(api);
    ASSERT_TRUE(port.openPort("COM1"));
    ASSERT_TRUE(port.openPort("COM2"));
    EXPECT_EQ(api.closed.size(), 1u);
}

TEST(Win32SerialPortIo, BytesWaitingComesFromTheReceiveQueue) {
    struct Case {
        DWORD queued;
        bool works;
        int32_t expected;
    } cases[] = {
        {0, true, 0},   {1, true, 1}, {1024, true, 1024}, {0x80000000u, true, 0x7FFFFFFF},
        {17, false, 0},
    };
    for (const Case& c : cases) {
        FakeCommApi api;
        Win32SerialPort port(api);
        ASSERT_TRUE(port.openPort("COM1"));
        api.queued = c.queued;
        api.statusWorks = c.works;
        EXPECT_EQ(port.bytesWaiting(), c.expected) << c.queued << (c.works ? "" : ", failing");
    }
}

TEST(Win32SerialPortIo, ReadAndWriteReturnWhatTheDriverMoved) {
    struct Case {
        const char* what;
        bool open;
        int32_t count;
        bool works;
        DWORD transferred;
        int32_t expected;
        bool called;
    } cases[] = {
        {"whole", true, 5, true, 5, 5, true},
        {"part (time-out)", true, 5, true, 2, 2, true},
        {"none (time-out)", true, 1, true, 0, 0, true},
        {"failure (adapter pulled)", true, 5, false, 3, 0, true},
        {"more than asked", true, 2, true, 9, 2, true},
        {"no port", false, 5, true, 5, 0, false},
        {"zero count", true, 0, true, 5, 0, false},
        {"negative count", true, -4, true, 5, 0, false},
    };
    for (const Case& c : cases) {
        for (const bool reading : {true, false}) {
            FakeCommApi api;
            Win32SerialPort port(api);
            if (c.open) {
                ASSERT_TRUE(port.openPort("COM1"));
            }
            api.calls.clear();
            api.readWorks = api.writeWorks = c.works;
            api.transferred = c.transferred;
            api.error = ERROR_DEVICE_NOT_CONNECTED;
            uint8_t buffer[16] = {};
            const int32_t moved =
                reading ? port.readPort(buffer, c.count) : port.writePort(buffer, c.count);
            EXPECT_EQ(moved, c.expected) << c.what << (reading ? " read" : " write");
            // Only a write the system refused leaves its words; a time-out is no refusal.
            EXPECT_EQ(port.writeFailure(),
                      !reading && c.called && !c.works ? "text of error 1167" : "")
                << c.what;
            EXPECT_EQ(!api.calls.empty(), c.called) << c.what;
            if (c.called) {
                EXPECT_EQ(api.requested, static_cast<DWORD>(c.count)) << c.what;
            }
        }
    }
}

TEST(Win32SerialPortIo, NothingReachesTheDriverWithNoPortOpen) {
    FakeCommApi api;
    Win32SerialPort port(api);
    EXPECT_EQ(port.bytesWaiting(), 0);
    port.closePort();
    EXPECT_TRUE(api.calls.empty());
}

// Listing and looking open nothing; a probe opens the port and closes it again.
TEST(Win32PortLister, ListsCom1ToCom99InOrderAndOpensOnlyToProbe) {
    FakeCommApi api;
    Win32PortLister lister(api, [](const std::string& name) { return name == "COM3"; });
    const std::vector<std::string> names = lister.portNames();
    ASSERT_EQ(names.size(), 99u);
    EXPECT_EQ(names[0], "COM1");
    EXPECT_EQ(names[9], "COM10");
    EXPECT_EQ(names[98], "COM99");
    EXPECT_TRUE(lister.inspect("COM3"));
    EXPECT_EQ(lister.inspect("COM4").refusal, OpenRefusal::Missing);
    EXPECT_TRUE(api.calls.empty());
    EXPECT_TRUE(lister.probe("COM3"));
    EXPECT_EQ(api.path, "\\\\.\\COM3");
    EXPECT_EQ(api.closed.size(), 1u);
}

TEST(Win32Clock, PausesAtLeastTheirLengthAndNothingForNoLength) {
    struct Case {
        int32_t ms;
        double atLeast;
        double atMost;
    } cases[] = {{-5, 0, 50}, {0, 0, 50}, {1, 1, 100}, {25, 25, 200}, {200, 200, 600}};
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    Win32Clock clock;
    for (const Case& c : cases) {
        LARGE_INTEGER start{};
        LARGE_INTEGER end{};
        QueryPerformanceCounter(&start);
        clock.pauseMs(c.ms);
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        EXPECT_GE(ms, c.atLeast) << c.ms;
        EXPECT_LE(ms, c.atMost) << c.ms;
    }
}

// A USB adapter's instance id gives its ids, and its serial number only where the device
// has one: Windows makes up ids with '&' for those that do not.
TEST(Win32PortDetails, UsbInstanceIds) {
    struct Case {
        const char* id;
        const char* fields;  // vendor:product|serial
    };
    const Case cases[] = {
        {"USB\\VID_0403&PID_6001\\A10K3QXZ", "0403:6001|A10K3QXZ"},
        {"USB\\VID_067B&PID_2303\\5&2B3C1D4&0&2", "067b:2303|"},
        {"FTDIBUS\\VID_0403+PID_6001+A10K3QXZA\\0000", ":|"},
        {"ACPI\\PNP0501\\1", ":|"},
    };
    for (const Case& c : cases) {
        PortDetails details;
        readUsbInstanceId(c.id, details);
        EXPECT_EQ(details.vendorId + ":" + details.productId + "|" + details.serialNumber, c.fields)
            << c.id;
    }
}

}  // namespace
}  // namespace tamlo
