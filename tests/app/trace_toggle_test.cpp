// The Trace box driven through the whole program: the window's height, TraceTimer, the
// image control and the sample ring, against the simulated receiver in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "app/error_table.h"
#include "sim/virtual_line.h"
#include "ui/memory_window.h"

namespace tamlo {
namespace {

// One program on one virtual line; the receiver sits behind COM1.
struct Rig {
    explicit Rig(const std::string& version = "2.05") {
        line.receiver().settings().version = version;
        line.setPorts({"COM1"});
        app.startUp();
    }

    void choose(const std::string& name) {
        EXPECT_TRUE(window.choosePortEntry(name));
        app.dispatch(ids::PortList);
    }
    // The box ticks or unticks itself, then its event arrives.
    void clickTrace() {
        window.setControlState(ids::TraceCheck, window.controlState(ids::TraceCheck) == 1 ? 0 : 1);
        app.dispatch(ids::TraceCheck);
    }
    void load() { app.dispatch(ids::LoadButton); }
    void tick(int32_t rssiNow) {
        line.receiver().settings().rssi = rssiNow;
        app.onTraceTimer();
    }

    const Image* shown() const {
        const MemoryWindow::Control* c = window.control(ids::TraceImage);
        return c != nullptr && c->image ? &*c->image : nullptr;
    }
    long traceImageEntries() const {
        return std::count(window.creationOrder().begin(), window.creationOrder().end(),
                          ids::TraceImage);
    }
    bool traceImageCreatedLast() const {
        return !window.creationOrder().empty() && window.creationOrder().back() == ids::TraceImage;
    }
    ProcessState& state() { return app.state(); }

    sim::VirtualLine line;
    MemoryWindow window;
    Configurator app{window, line, line, line};
};

TEST(TraceToggle, WithoutAPortTheBoxStaysTickedButNothingGrows) {
    Rig rig;
    rig.clickTrace();

    EXPECT_EQ(rig.window.controlState(ids::TraceCheck), 1);
    EXPECT_EQ(rig.window.innerHeight(), kInnerHeight);
    EXPECT_EQ(rig.window.timerStarts(), 0);
    EXPECT_FALSE(rig.window.traceTimerRunning());
    EXPECT_FALSE(rig.window.hasControl(ids::TraceImage));
    EXPECT_FALSE(rig.state().images.grid.has_value());
    EXPECT_EQ(rig.state().errorCode, errors::SelectComPort);
    ASSERT_EQ(rig.window.messages().size(), 1u);
    EXPECT_EQ(rig.window.messages()[0].first, "Message");
    EXPECT_EQ(rig.window.messages()[0].second, "Select COM Port");

    // A LOAD once a port is open stores a sample and draws the graph, but there is no
    // image control to show it yet.
    rig.choose("COM1");
    rig.load();
    EXPECT_EQ(rig.state().trace.traceIndex, 1);
    EXPECT_EQ(rig.state().trace.samples[1], 40);
    EXPECT_TRUE(rig.state().images.graph.has_value());
    EXPECT_FALSE(rig.window.hasControl(ids::TraceImage));
    EXPECT_EQ(rig.window.innerHeight(), kInnerHeight);
    EXPECT_FALSE(rig.window.traceTimerRunning());
}

enum class Act { ClickTrace, Tick, Load };
enum class Shows { Nothing, GridAlone, Graph };

TEST(TraceToggle, GrowingRecreatesTheImageControlShrinkingKeepsIt) {
    struct Step {
        const char* what;
        Act act;
        int height;
        bool timerRunning;
        int timerStarts;
        Shows shows;
        bool createdLast;  // TraceImage is the newest control
    };
    const std::vector<Step> steps = {
        {"first tick of the box", Act::ClickTrace, 450, true, 1, Shows::GridAlone, true},
        {"a sample draws the curve", Act::Tick, 450, true, 1, Shows::Graph, true},
        {"unticked: small, last graph kept", Act::ClickTrace, 280, false, 1, Shows::Graph, true},
        {"a LOAD makes the receiver's own controls", Act::Load, 280, false, 1, Shows::Graph, false},
        {"ticked again: a new control, grid alone", Act::ClickTrace, 450, true, 2, Shows::GridAlone,
         true},
        {"unticked again", Act::ClickTrace, 280, false, 2, Shows::GridAlone, true},
        {"ticked a third time", Act::ClickTrace, 450, true, 3, Shows::GridAlone, true},
    };

    Rig rig;
    rig.choose("COM1");
    rig.load();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        switch (step.act) {
            case Act::ClickTrace:
                rig.clickTrace();
                break;
            case Act::Tick:
                rig.tick(40);
                break;
            case Act::Load:
                rig.load();
                break;
        }
        EXPECT_EQ(rig.window.innerHeight(), step.height);
        EXPECT_EQ(rig.window.traceTimerRunning(), step.timerRunning);
        EXPECT_EQ(rig.window.timerStarts(), step.timerStarts);
        EXPECT_EQ(rig.traceImageEntries(), 1);
        EXPECT_EQ(rig.traceImageCreatedLast(), step.createdLast);
        const Image* shown = rig.shown();
        ASSERT_NE(shown, nullptr);
        ASSERT_TRUE(rig.state().images.grid.has_value());
        if (step.shows == Shows::GridAlone) {
            EXPECT_EQ(*shown, *rig.state().images.grid);
        } else {
            ASSERT_TRUE(rig.state().images.graph.has_value());
            EXPECT_EQ(*shown, *rig.state().images.graph);
            EXPECT_NE(*shown, *rig.state().images.grid);
        }
        EXPECT_TRUE(rig.window.messages().empty());
    }
}

TEST(TraceToggle, AWindowThatCannotGrowStillStartsTheTimer) {
    Rig rig;
    rig.choose("COM1");
    rig.load();
    rig.window.failResize = true;
    rig.clickTrace();

    EXPECT_EQ(rig.window.innerHeight(), kInnerHeight);
    EXPECT_TRUE(rig.window.traceTimerRunning());
    EXPECT_EQ(rig.window.timerStarts(), 1);
    EXPECT_FALSE(rig.state().images.grid.has_value());
    EXPECT_FALSE(rig.window.hasControl(ids::TraceImage));
    EXPECT_TRUE(rig.window.messages().empty());

    // The timer samples and draws over a black background; nothing shows it.
    rig.tick(33);
    EXPECT_EQ(rig.state().trace.traceIndex, 1);
    EXPECT_EQ(rig.state().trace.samples[1], 33);
    EXPECT_TRUE(rig.state().images.graph.has_value());
    EXPECT_FALSE(rig.window.hasControl(ids::TraceImage));
}

TEST(TraceToggle, AWindowThatCannotGrowKeepsTheOldGridAndControl) {
    Rig rig;
    rig.choose("COM1");
    rig.load();
    rig.clickTrace();
    rig.clickTrace();
    ASSERT_TRUE(rig.state().images.grid.has_value());
    const Image oldGrid = *rig.state().images.grid;

    // A new threshold would move the line, but the grid is not painted again.
    rig.line.receiver().settings().threshold = 20;
    rig.load();
    rig.window.failResize = true;
    rig.clickTrace();

    EXPECT_EQ(rig.window.innerHeight(), kInnerHeight);
    EXPECT_TRUE(rig.window.traceTimerRunning());
    EXPECT_EQ(rig.window.timerStarts(), 2);
    EXPECT_EQ(*rig.state().images.grid, oldGrid);
    ASSERT_NE(rig.shown(), nullptr);
    EXPECT_EQ(*rig.shown(), oldGrid);
    EXPECT_FALSE(rig.traceImageCreatedLast());
}

TEST(TraceToggle, TheRingContinuesAfterAPauseAcrossItsEnd) {
    Rig rig;
    rig.choose("COM1");
    // Near the end of the ring, as after hours of tracing.
    rig.state().trace.traceIndex = 357;
    rig.clickTrace();
    rig.tick(101);
    rig.tick(102);
    rig.clickTrace();
    rig.clickTrace();
    rig.tick(103);
    rig.tick(-5);

    const SignalTrace& trace = rig.state().trace;
    EXPECT_EQ(trace.traceIndex, 2);
    EXPECT_EQ(trace.samples[358], 101);
    EXPECT_EQ(trace.samples[359], 102);
    EXPECT_EQ(trace.samples[1], 103);
    EXPECT_EQ(trace.samples[2], -5);
    EXPECT_EQ(trace.samples[0], 0);
    EXPECT_EQ(trace.samples[360], 0);
    EXPECT_EQ(trace.samples[3], 0);
}

TEST(TraceToggle, AnUntickedLoadShowsTheValueButLeavesTheRing) {
    struct Case {
        int32_t rssi;
        const char* display;
    };
    const std::vector<Case> cases = {
        {87, "87"}, {0, "0"}, {-5, "-5"}, {70000, "70000"},  // beyond 16 bits: shown in full
    };

    Rig rig;
    rig.choose("COM1");
    rig.clickTrace();
    rig.tick(11);
    rig.tick(12);
    rig.clickTrace();
    const SignalTrace before = rig.state().trace;
    ASSERT_NE(rig.shown(), nullptr);
    const Image shownBefore = *rig.shown();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.rssi);
        rig.line.receiver().settings().rssi = c.rssi;
        rig.load();
        EXPECT_EQ(rig.state().settings[rssi], c.rssi);
        EXPECT_EQ(rig.window.controlText(ids::RssiDisplay), c.display);
        EXPECT_EQ(rig.state().trace.traceIndex, before.traceIndex);
        EXPECT_EQ(rig.state().trace.samples, before.samples);
        EXPECT_EQ(*rig.shown(), shownBefore);
        EXPECT_EQ(rig.state().errorCode, 0);
    }
}

}  // namespace
}  // namespace tamlo
