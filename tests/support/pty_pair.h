// A pseudo-terminal for the line tests: the port under test opens the subsidiary side
// by its path; the test plays the receiver on the controlling side.
#pragma once

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

}  // namespace tamlo::testing
