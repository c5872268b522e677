// The dispatcher's conventions that the golden sessions do not show one by one.
#include <gtest/gtest.h>

#include <map>

#include "app/configurator.h"
#include "app/error_table.h"
#include "files/file_store.h"
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
    // Started, COM1 chosen and a receiver of this firmware loaded.
    void load(const char* version) {
        line.receiver().settings().version = version;
        configurator.startUp();
        window.choosePortEntry("COM1");
        configurator.dispatch(ids::PortList);
        configurator.dispatch(ids::LoadButton);
    }

    MemoryWindow window;
    sim::VirtualLine line;
    Configurator configurator{window, line, line, line};
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

// Files kept in memory, as the user's disk would keep them.
struct MemoryFiles final : FileStore {
    FileText read(const std::string& path, int64_t) override {
        const auto found = files.find(path);
        return found == files.end() ? FileText{"", "no such file"} : FileText{found->second, ""};
    }
    std::string cannotWrite(const std::string&) override { return {}; }
    bool isFolder(const std::string&) override { return false; }
    std::string makeFolder(const std::string&) override { return {}; }
    std::string replace(const std::string& path, std::string_view bytes) override {
        files[path] = std::string(bytes);
        return {};
    }
    std::map<std::string, std::string> files;
};

// A loaded receiver of each generation: its form saved, edited and opened again holds what
// was saved, and STORE sends the same bytes as it did from the form that was saved.
TEST(Configurator, SaveThenOpenGivesTheSameFormAndTheSameStore) {
    for (const auto& [version, name] :
         {std::pair("1.80", "rx.toml"), std::pair("1.95", "rx.json"), std::pair("2.05", "rx")}) {
        SCOPED_TRACE(version);
        Program p;
        MemoryFiles store;
        p.load(version);
        p.window.setControlText(2, "135.255 MHz");  // a kilohertz the receiver reports no more
        const auto storeBytes = [&] {
            const std::string before = p.line.writtenText();
            p.configurator.dispatch(ids::StoreButton);
            return p.line.writtenText().substr(before.size());
        };
        const ChosenFile file{std::string("/home/") + name, name};
        p.window.fileAnswers = {file, file};
        p.configurator.onFormCommand(FormCommand::SaveSettings, store);
        const std::string saved = storeBytes();
        for (int id : {1, 2, ids::ThresholdField, ids::AudioLevelField}) {
            p.window.setControlText(id, "9");
        }
        p.window.setControlState(ids::DiversityOrLnaCheck, 0);
        p.configurator.onFormCommand(FormCommand::OpenSettings, store);
        EXPECT_EQ(p.window.controlText(2), "135.255 MHz");
        EXPECT_EQ(p.window.statusText(),
                  "Form holds the values of " + std::string(name) + "; STORE writes them");
        EXPECT_EQ(storeBytes(), saved);
        EXPECT_TRUE(p.window.messages().empty());
        ASSERT_EQ(store.files.size(), 1u);
        EXPECT_NE(store.files.begin()->second.find(std::string(version) + " "), std::string::npos);
    }
}

// A form that STORE would refuse is not saved; each field at fault is named.
TEST(Configurator, SaveNamesTheFieldsStoreWouldRefuseAndWritesNothing) {
    const struct {
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {3, "139.000 MHz", "Channel 3: Invalid frequency"},
        {ids::ThresholdField, "100", "Threshold: Invalid Threshold value"},
        {ids::ThresholdField, "-100000",
         "Threshold: Invalid Threshold value: expected -99999 to 99 (-128 to 99 on firmware "
         "2.00 and newer)"},
        {ids::AudioLevelField, "32", "Audio level: Invalid Audio Level"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Program p;
        MemoryFiles store;
        p.load("2.05");
        p.window.setControlText(c.id, c.text);
        p.configurator.onFormCommand(FormCommand::SaveSettings, store);
        ASSERT_EQ(p.window.messages().size(), 1u);
        EXPECT_EQ(p.window.messages().back().second,
                  "Nothing was saved:\n" + std::string(c.message));
        EXPECT_TRUE(p.window.fileDialogs.empty());
        EXPECT_TRUE(store.files.empty());
    }
}

// Open fills what the form has controls for and names the rest; a file with an error or
// none at all leaves the form as it was.
TEST(Configurator, OpenFillsTheFormOrSaysWhyNot) {
    Program p;
    MemoryFiles store;
    store.files = {
        {"gen3.toml",
         "[source]\nport = \"mast-north\"\ngeneration = 3\n[settings]\nchannel1 = \"138.5\"\n"
         "audio_level = 9\nlna_supply = true\n"},
        {"bad.toml", "[settings]\nchannel1 = \"139.000\"\n"}};
    p.load("1.75");
    const std::string written = p.line.writtenText();
    p.window.fileAnswers = {
        {"gen3.toml", "gen3.toml"}, {"bad.toml", "bad.toml"}, {"none.toml", "none.toml"}};
    for (int open = 0; open < 3; ++open) {
        p.configurator.onFormCommand(FormCommand::OpenSettings, store);
    }
    EXPECT_EQ(p.window.controlText(1), "138.500 MHz");
    ASSERT_EQ(p.window.messages().size(), 3u);
    EXPECT_EQ(p.window.messages()[0].second,
              "gen3.toml: the backup was read from generation 3 firmware (mast-north); this "
              "receiver has firmware 1.75 (generation 1)\nthe form of this receiver has no "
              "control for audio_level, lna_supply; left out");
    EXPECT_EQ(
        p.window.messages()[1].second.rfind("bad.toml was not opened; the form is as it was:\n"
                                            "bad.toml:2:12: settings.channel1 = \"139.000\": "
                                            "Invalid frequency",
                                            0),
        0u);
    EXPECT_EQ(p.window.messages()[2].second, "none.toml was not opened: no such file");
    EXPECT_EQ(p.line.writtenText(), written);
}

}  // namespace
}  // namespace tamlo
