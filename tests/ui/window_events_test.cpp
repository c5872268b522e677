// One handler at a time: what arrives while a handler waits on the receiver is held, and
// a TraceTimer expiry is never acted on inside a conversation.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/window_events.h"

namespace tamlo {
namespace {

// A window's events, each logged as it starts and ends; a handler may raise further
// events from inside, as the platform does when it serves the window during a pause.
struct Recorder {
    WindowEventGate gate;
    std::vector<std::string> log;
    // Raised from inside the next control handler, once.
    std::function<void()> during;
    std::function<void()> duringTick;

    Recorder() {
        gate.setEvents({
            .controlEvent =
                [this](int id) {
                    log.push_back("control " + std::to_string(id));
                    runOnce(during);
                    log.push_back("end " + std::to_string(id));
                },
            .traceTimer =
                [this] {
                    log.push_back("tick");
                    runOnce(duringTick);
                },
            .closeBox = [this] { log.push_back("close"); },
        });
    }
    static void runOnce(std::function<void()>& f) {
        if (f) {
            auto call = std::move(f);
            f = nullptr;
            call();
        }
    }
};

using Log = std::vector<std::string>;

TEST(WindowEventGate, OutsideAHandlerEventsRunAtOnce) {
    Recorder r;
    r.gate.controlEvent(20);
    r.gate.traceTimerExpired();
    r.gate.closeBox();
    EXPECT_EQ(r.log, (Log{"control 20", "end 20", "tick", "close"}));
    EXPECT_FALSE(r.gate.handlerRunning());
}

TEST(WindowEventGate, WhatArrivesDuringAHandlerRunsAfterItInOrder) {
    struct Case {
        const char* name;
        std::function<void(WindowEventGate&)> raise;
        Log expected;
    };
    const Case cases[] = {
        {"clicks keep their order",
         [](WindowEventGate& g) {
             g.controlEvent(21);
             g.controlEvent(24);
         },
         {"control 20", "end 20", "control 21", "end 21", "control 24", "end 24"}},
        {"expiries make one poll, after the held clicks",
         [](WindowEventGate& g) {
             g.traceTimerExpired();
             g.controlEvent(21);
             g.traceTimerExpired();
             g.traceTimerExpired();
         },
         {"control 20", "end 20", "control 21", "end 21", "tick"}},
        {"the close box waits for the handler",
         [](WindowEventGate& g) {
             g.closeBox();
             g.traceTimerExpired();
         },
         {"control 20", "end 20", "close", "tick"}},
        {"a timer stopped or restarted in the handler drops the expiry",
         [](WindowEventGate& g) {
             g.traceTimerExpired();
             g.dropPendingExpiry();
         },
         {"control 20", "end 20"}},
    };
    for (const Case& c : cases) {
        Recorder r;
        r.during = [&] {
            EXPECT_TRUE(r.gate.handlerRunning());
            c.raise(r.gate);
        };
        r.gate.controlEvent(20);
        EXPECT_EQ(r.log, c.expected) << c.name;
        // Nothing was left over: the next click runs alone.
        r.log.clear();
        r.during = [] {};
        r.gate.controlEvent(22);
        EXPECT_EQ(r.log, (Log{"control 22", "end 22"})) << c.name;
    }
}

TEST(WindowEventGate, AMessageBoxOfAHandlerDeliversTicksButNoClicks) {
    Recorder r;
    r.during = [&] {
        WindowEventGate::ModalScope box(r.gate);
        r.gate.traceTimerExpired();  // polls under the box
        r.gate.controlEvent(22);     // waits for the handler's end
        r.log.push_back("box closed");
    };
    r.gate.controlEvent(20);
    EXPECT_EQ(r.log, (Log{"control 20", "tick", "box closed", "end 20", "control 22", "end 22"}));
}

TEST(WindowEventGate, AnExpiryDuringAPollOrAReleasedClickWaitsItsTurn) {
    Recorder r;
    // The poll's own pause sees the next expiry; a click during the handler held after it.
    r.duringTick = [&] { r.gate.traceTimerExpired(); };
    r.gate.traceTimerExpired();
    EXPECT_EQ(r.log, (Log{"tick", "tick"}));

    r.log.clear();
    r.during = [&] {
        r.gate.controlEvent(21);
        r.during = [&] { r.gate.controlEvent(24); };  // inside 21, once released
    };
    r.gate.controlEvent(20);
    EXPECT_EQ(r.log, (Log{"control 20", "end 20", "control 21", "end 21", "control 24", "end 24"}));
}

}  // namespace
}  // namespace tamlo
