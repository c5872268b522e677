#include "serial/logging_port.h"

#include <chrono>
#include <cstdio>

namespace tamlo {

namespace {

int64_t steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

SerialLog::SerialLog(std::ostream& out, TimeSource now)
    : out_(out), now_(now ? std::move(now) : TimeSource(steadyMicroseconds)), startUs_(now_()) {}

std::string SerialLog::describe(bool sent, const uint8_t* data, int32_t count) {
    std::string hex;
    std::string printable;
    for (int32_t i = 0; i < count; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(data[i]));
        hex += (i == 0 ? "" : " ");
        hex += pair;
        printable += data[i] >= 0x20 && data[i] < 0x7f ? static_cast<char>(data[i]) : '.';
    }
    return std::string(sent ? ">  " : "<  ") + hex + "  |" + printable + "|";
}

void SerialLog::bytes(std::string_view port, bool sent, const uint8_t* data, int32_t count) {
    if (count > 0) {
        line(port, describe(sent, data, count));
    }
}

void SerialLog::bytesAt(int64_t atUs, std::string_view port, bool sent, const uint8_t* data,
                        int32_t count) {
    if (count > 0) {
        lineAt(atUs, port, describe(sent, data, count));
    }
}

void SerialLog::event(std::string_view port, std::string_view what) {
    line(port, what);
}

void SerialLog::line(std::string_view port, std::string_view text) {
    lineAt(now_(), port, text);
}

void SerialLog::lineAt(int64_t atUs, std::string_view port, std::string_view text) {
    const int64_t us = atUs - startUs_;
    char time[32];
    std::snprintf(time, sizeof time, "%10lld.%03lld ms  ", static_cast<long long>(us / 1000),
                  static_cast<long long>(us % 1000));
    std::lock_guard lock(mutex_);
    out_ << time << port << "  " << text << '\n';
    out_.flush();
}

LoggingSerialPort::LoggingSerialPort(SerialPort& inner, SerialLog& log, std::string label)
    : inner_(inner), log_(log), label_(std::move(label)) {}

LoggingSerialPort::~LoggingSerialPort() {
    logReceived();
}

void LoggingSerialPort::logReceived() {
    log_.bytesAt(receivedAtUs_, name_, false, received_.data(),
                 static_cast<int32_t>(received_.size()));
    received_.clear();
}

int32_t LoggingSerialPort::bytesWaiting() {
    const int32_t waiting = inner_.bytesWaiting();
    // Nothing more waiting: the collection of a reply ends here.
    if (waiting <= 0) {
        logReceived();
    }
    return waiting;
}

PortOpening LoggingSerialPort::openPort(std::string_view name) {
    name_ = label_.empty() ? std::string(name) : label_;
    PortOpening opening = inner_.openPort(name);
    log_.event(name_,
               opening ? std::string("opened") : "did not open: " + describeRefusal(opening));
    return opening;
}

void LoggingSerialPort::closePort() {
    logReceived();
    if (inner_.isPortOpen()) {
        log_.event(name_, "closed");
    }
    inner_.closePort();
}

int32_t LoggingSerialPort::readPort(uint8_t* buffer, int32_t count) {
    const int64_t before = log_.nowUs();
    const int32_t got = inner_.readPort(buffer, count);
    if (got > 0) {
        if (received_.empty()) {
            receivedAtUs_ = before;
        }
        received_.insert(received_.end(), buffer, buffer + got);
    }
    return got;
}

int32_t LoggingSerialPort::writePort(const uint8_t* buffer, int32_t count) {
    logReceived();
    const int32_t put = inner_.writePort(buffer, count);
    log_.bytes(name_, true, buffer, put);
    if (put < count) {
        const std::string failure = inner_.writeFailure();
        log_.event(name_,
                   failure.empty() ? std::string("write failed") : "write failed: " + failure);
    }
    return put;
}

}  // namespace tamlo
