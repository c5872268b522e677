#include "ui/window_events.h"

namespace tamlo {

void WindowEventGate::controlEvent(int controlId) {
    if (mustHold()) {
        held_.push_back({.kind = Held::Kind::Control, .controlId = controlId});
        return;
    }
    if (events_.controlEvent) {
        run([&] { events_.controlEvent(controlId); });
    }
}

void WindowEventGate::traceTimerExpired() {
    // A poll must never interleave with a conversation: inside a handler the expiry waits.
    // Several expiries during one long handler still make one poll afterwards.
    if (running_ > 0) {
        expiryPending_ = true;
        return;
    }
    if (events_.traceTimer) {
        run(events_.traceTimer);
    }
}

void WindowEventGate::closeBox() {
    if (mustHold()) {
        held_.push_back({.kind = Held::Kind::Close});
        return;
    }
    if (events_.closeBox) {
        run(events_.closeBox);
    }
}

void WindowEventGate::portListOpening() {
    if (!mustHold() && events_.portListOpening) {
        run(events_.portListOpening);
    }
}

void WindowEventGate::formCommand(FormCommand command) {
    if (mustHold()) {
        held_.push_back({.kind = Held::Kind::Form, .command = command});
        return;
    }
    if (events_.formCommand) {
        run([&] { events_.formCommand(command); });
    }
}

void WindowEventGate::run(const std::function<void()>& handler) {
    ++running_;
    handler();
    --running_;
    if (!mustHold() && !releasing_) {
        runHeld();
    }
}

void WindowEventGate::runHeld() {
    releasing_ = true;
    for (;;) {
        if (!held_.empty()) {
            const Held next = held_.front();
            held_.pop_front();
            if (next.kind == Held::Kind::Close && events_.closeBox) {
                run(events_.closeBox);
            } else if (next.kind == Held::Kind::Control && events_.controlEvent) {
                run([&] { events_.controlEvent(next.controlId); });
            } else if (next.kind == Held::Kind::Form && events_.formCommand) {
                run([&] { events_.formCommand(next.command); });
            }
        } else if (expiryPending_) {
            expiryPending_ = false;
            if (events_.traceTimer) {
                run(events_.traceTimer);
            }
        } else {
            break;
        }
    }
    releasing_ = false;
}

WindowEventGate::ModalScope::ModalScope(WindowEventGate& gate)
    : gate_(gate), savedRunning_(gate.running_) {
    ++gate_.modal_;
    gate_.running_ = 0;
}

WindowEventGate::ModalScope::~ModalScope() {
    gate_.running_ = savedRunning_;
    --gate_.modal_;
}

}  // namespace tamlo
