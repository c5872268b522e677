// The simulated receiver in real time on a pseudo-terminal, so that the real program (or
// any terminal tool) can talk to it through an ordinary serial device path. POSIX only.
//
// The server keeps the master side; the program opens, closes and reopens the slave side
// as often as it likes. While no one has the slave open, whatever the receiver sends is
// lost, as on a real line with nobody listening. The receiver's bytes are written at the
// line's pace, one every 11/1200 s, on absolute deadlines.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sim/receiver.h"

namespace tamlo::sim {

class PtyServer {
  public:
    // Told of every command the receiver hears, one line of text without a line end;
    // called on the server's thread.
    using LogSink = std::function<void(const std::string& line)>;

    explicit PtyServer(ReceiverSettings settings = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    void setLogSink(LogSink sink);
    // Before start: also make a symbolic link at path to the device; removed by stop if
    // it still leads there. An existing symbolic link is replaced, any other file is not.
    void setLinkPath(std::string path);

    // Opens the pseudo-terminal and starts serving. False, with a reason, on failure.
    bool start(std::string& error);
    // Ends serving and releases the device; does nothing when not running.
    void stop();
    bool running() const { return thread_.joinable(); }
    // The slave device, e.g. "/dev/pts/3"; empty before start.
    std::string devicePath() const { return devicePath_; }

    // One log line for an event: seconds since start, the command, why it was not
    // carried out.
    static std::string formatEvent(const Receiver::Event& event);

  private:
    void serve();
    void log(const std::string& line);

    ReceiverSettings settings_;
    LogSink sink_;
    std::mutex sinkMutex_;
    std::string linkPath_;
    bool linkMade_ = false;
    std::string devicePath_;
    int master_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int64_t startNs_ = 0;  // monotonic clock at start
    std::thread thread_;
};

}  // namespace tamlo::sim
