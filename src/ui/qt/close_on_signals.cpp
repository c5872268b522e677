#include "ui/qt/close_on_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "ui/qt/qt_window.h"

namespace tamlo {

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

// Written before the handlers are installed and cleared after they are removed.
volatile sig_atomic_t signalPipe = -1;

extern "C" void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; nothing more to say.
    (void)!::write(signalPipe, &byte, 1);
    errno = saved;
}

}  // namespace

CloseOnSignals::CloseOnSignals(QtWindow& window) : window_(window) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { onSignalled(); });
    signalPipe = pipe_[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes on the line go on where the signal found them.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &action, &previous_[i]);
    }
}

CloseOnSignals::~CloseOnSignals() {
    if (!installed()) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    signalPipe = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void CloseOnSignals::onSignalled() {
    char bytes[64];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    window_.requestEnd();
}

}  // namespace tamlo
