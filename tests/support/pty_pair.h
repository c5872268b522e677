// A pseudo-terminal for the line tests: the port under test opens the subsidiary side
// by its path; the test plays the receiver on the controlling side.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace tamlo::testing {

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return controller_ >= 0 && !path_.empty(); }
    const std::string& path() const { return path_; }
    int controller() const { return controller_; }
    // A descriptor of the subsidiary side of its own: the same terminal the port opens, with
    // its line settings and its output queue.
    int subsidiary() const { return keeper_; }

    // The receiver's side: what it sends, and what it has received within waitMs.
    void send(const std::string& bytes);
    std::string receive(size_t count, int waitMs = 1000);
    // The receiver is unplugged: the controlling side goes away.
    void hangUp();

  private:
    int controller_ = -1;
    // Held open so that the pty survives between the port's opens and closes.
    int keeper_ = -1;
    std::string path_;
};

// Another program, in a child process, holding a device: with the exclusive flag as minicom
// does, then going on as "sleep" or ending (leaving the flag behind); or with no flag and no
// lock, set to 9600 baud, 7E1, hardware flow control, canonical mode with echo, as a GPS
// daemon or a getty would, then going on as "sleep".
enum class Hold { Exclusive, ExclusiveThenEnd, OwnSettings };

// Returns the child's pid once it holds the device as told, or has ended; 0 on failure.
pid_t holdingChild(const std::string& path, Hold how);

}  // namespace tamlo::testing
