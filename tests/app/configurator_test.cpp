// The dispatcher's conventions that the golden sessions do not show one by one.
#include <gtest/gtest.h>

#include "app/configurator.h"
#include "app/error_table.h"
#include "sim/virtual_line.h"
#include "ui/memory_window.h"

namespace tamlo {
namespace {

TEST(ErrorTable, OnlyTheAssignedCodesHaveMessages) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, ""},
        {1, "Communication Error"},
        {2, ""},
        {3, "Invalid frequency"},
        {4, ""},
        {5, "Select COM Port"},
        {6, "Invalid Threshold value"},
        {7, "Communication Port not available"},
        {8, "Invalid Audio Level"},
        {9, ""},
        {-1, ""},
        {INT32_MIN, ""},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(errorMessage(code), text) << code;
    }
}

struct Program {
    MemoryWindow window;
    sim::VirtualLine line;
    Configurator configurator{window, line, line};
};

TEST(Configurator, StartUpBuildsTheFormAndLeavesNoPortOpen) {
    Program p;
    p.line.setPorts({"COM1", "COM2"});
    p.line.setUnopenable({"COM3"});
    p.configurator.startUp();
    EXPECT_EQ(p.window.innerHeight(), kInnerHeight);
    EXPECT_EQ(p.window.statusText(), kCopyrightLine);
    EXPECT_EQ(p.window.portEntries(), (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_FALSE(p.line.isPortOpen());
    EXPECT_EQ(p.window.controls().size(), fixedControls().size());
    EXPECT_TRUE(p.line.written().empty());
}

TEST(Configurator, AWindowThatCannotOpenGetsNoControls) {
    Program p;
    p.window.failOpen = true;
    p.configurator.startUp();
    EXPECT_TRUE(p.window.controls().empty());
    // The command handlers still run without a form to read.
    p.configurator.dispatch(ids::LoadButton);
    p.configurator.dispatch(ids::StoreButton);
    EXPECT_FALSE(p.configurator.finished());
}

TEST(Configurator, AMissingStatusBarStillGetsTheControls) {
    Program p;
    p.window.failStatusBar = true;
    p.configurator.startUp();
    EXPECT_EQ(p.window.controls().size(), fixedControls().size());
    EXPECT_EQ(p.window.statusText(), "");
}

TEST(Configurator, TwoQuickLoadsRunTwoCompleteConversations) {
    Program p;
    p.configurator.startUp();
    ASSERT_TRUE(p.window.choosePortEntry("COM1"));
    p.configurator.dispatch(ids::PortList);
    p.configurator.dispatch(ids::LoadButton);
    p.configurator.dispatch(ids::LoadButton);
    // V, X, R twice for the default generation-3 receiver.
    EXPECT_EQ(p.line.writtenText(), "VXRVXR");
    EXPECT_TRUE(p.window.messages().empty());
}

TEST(Configurator, NothingRunsAfterTheExitSequence) {
    Program p;
    p.configurator.startUp();
    ASSERT_TRUE(p.window.choosePortEntry("COM1"));
    p.configurator.dispatch(ids::PortList);
    p.configurator.dispatch(ids::QuitButton);
    EXPECT_TRUE(p.configurator.finished());
    EXPECT_FALSE(p.line.isPortOpen());
    EXPECT_FALSE(p.window.isOpen());
    p.configurator.dispatch(ids::LoadButton);
    p.configurator.onTraceTimer();
    EXPECT_TRUE(p.line.written().empty());
}

// Devices come and go while the program runs; each time the user opens PortList it lists
// what opens now, the chosen port stays chosen while it is there, and one that went is
// closed and named as not available.
TEST(Configurator, OpeningPortListListsThePortsThatOpenNow) {
    Program p;
    p.line.setPorts({"COM1", "COM2"});
    p.configurator.startUp();
    ASSERT_TRUE(p.window.choosePortEntry("COM2"));
    p.configurator.dispatch(ids::PortList);
    const struct {
        std::vector<std::string> present;
        std::vector<std::string> unopenable;
        std::vector<std::string> listed;
        std::string chosen;
        const char* loadMessage;
    } steps[] = {
        {{"COM2", "COM3"}, {}, {"COM2", "COM3"}, "COM2", nullptr},
        {{"COM2", "COM3", "COM4"}, {"COM3"}, {"COM2", "COM4"}, "COM2", nullptr},
        {{"COM4"}, {}, {"COM4"}, "", "Communication Port not available"},
        {{"COM2", "COM4"}, {}, {"COM2", "COM4"}, "", "Communication Port not available"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.listed.size());
        p.line.setPorts(step.present);
        p.line.setUnopenable(step.unopenable);
        p.configurator.refreshPortList();
        EXPECT_EQ(p.window.portEntries(), step.listed);
        EXPECT_EQ(p.window.controlText(ids::PortList), step.chosen);
        EXPECT_EQ(p.line.isPortOpen(), !step.chosen.empty());
        const size_t seen = p.window.messages().size();
        p.configurator.dispatch(ids::LoadButton);
        const std::string shown =
            p.window.messages().size() > seen ? p.window.messages().back().second : "";
        EXPECT_EQ(shown, step.loadMessage != nullptr ? step.loadMessage : "");
    }
    // A new choice is a fresh start: no choice at all is "Select COM Port" again.
    p.configurator.dispatch(ids::PortList);
    p.configurator.dispatch(ids::LoadButton);
    EXPECT_EQ(p.window.messages().back().second, "Select COM Port");
}

}  // namespace
}  // namespace tamlo
