// SIGTERM, SIGHUP and SIGINT end the window program the way its close box does: a handler
// under way (a STORE, say) runs to its end, then the exit sequence closes the port and the
// window. Killed half-way instead, a STORE would leave the receiver with some channels
// changed and a pseudo-terminal with our exclusive flag set.
//
// The signal handler only writes a byte to a pipe; the window's event loop reads it, also
// while a handler serves the window during its pauses, and presses the close box.
#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <memory>

namespace tamlo {

class QtWindow;

class CloseOnSignals {
  public:
    // One at a time: the signal handler reaches the pipe through a static.
    explicit CloseOnSignals(QtWindow& window);
    // The signals' earlier handlers are put back.
    ~CloseOnSignals();
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

    // False when no pipe could be made; the signals then keep their earlier handlers.
    bool installed() const { return notifier_ != nullptr; }

  private:
    void onSignalled();

    QtWindow& window_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[3] = {};
};

}  // namespace tamlo
