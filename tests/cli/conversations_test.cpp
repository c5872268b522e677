// The commands against simulated receivers in virtual time: what each prints, the exit
// status, and every command on each line with its exact virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/port_work.h"
#include "virtual_fleet.h"

namespace tamlo::cli {
namespace {

using testing::VirtualFleet;
using Wire = std::vector<std::string>;

sim::ReceiverSettings receiver(const std::string& version) {
    sim::ReceiverSettings r;
    r.version = version;
    return r;
}

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tamlo-cli-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string file(const std::string& name, const std::string& text) {
        const std::filesystem::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::filesystem::path dir_;
    VirtualFleet fleet;
};

// The window program's STORE goldens: the wire log of each "store" step, as times
// relative to its first command, up to the read-back's first command.
std::vector<Wire> windowStores() {
    std::ifstream in(TAMLO_STORE_GOLDEN);
    std::vector<Wire> stores;
    std::string line;
    bool afterStore = false;
    bool inWire = false;
    while (std::getline(in, line)) {
        if (line == "> store") {
            afterStore = true;
            continue;
        }
        if (line.rfind("> ", 0) == 0) {
            inWire = afterStore && line == "> wire";
            if (inWire) {
                stores.emplace_back();
            }
            afterStore = false;
            continue;
        }
        if (inWire) {
            stores.back().push_back(line);
        }
    }
    return stores;
}

// "1250 E" ... as times from the first entry.
Wire relative(const Wire& wire, size_t from) {
    Wire out;
    const int64_t base = std::stoll(wire.at(from));
    for (size_t i = from; i < wire.size(); ++i) {
        const size_t space = wire[i].find(' ');
        out.push_back(std::to_string(std::stoll(wire[i].substr(0, space)) - base) +
                      wire[i].substr(space));
    }
    return out;
}

const char* const kStoreChannels =
    "[settings]\nchannel1 = \"134.000\"\nchannel2 = \"135.250\"\nchannel3 = \"136.500\"\n"
    "channel4 = \"137.125\"\nchannel5 = \"138.000\"\nchannel6 = \"138.990\"\nthreshold = 45\n";

TEST_F(Commands, WriteSendsWhatTheWindowsStoreSends) {
    const std::vector<Wire> golden = windowStores();
    ASSERT_EQ(golden.size(), 3u);
    struct Case {
        const char* version;
        std::string extra;
    };
    const Case cases[3] = {{"2.06", "audio_level = 7\nlna_supply = true\ndiversity = false\n"},
                           {"1.90", "audio_level = 7\ndiversity = true\n"},
                           {"1.70", ""}};
    for (size_t g = 0; g < 3; ++g) {
        sim::ReceiverSettings r = receiver(cases[g].version);
        r.threshold = 10;
        r.diversity = false;
        fleet.add("COM1", r);
        const std::string path = file("store.toml", kStoreChannels + cases[g].extra);
        ASSERT_EQ(fleet.run({"write", "-p", "COM1", path}), kExitOk) << fleet.err.str();
        const Wire& wire = fleet.wire("COM1");
        ASSERT_EQ(wire.front(), "0 V");
        // From STORE's first command to the read-back's last: the same commands at the same
        // times as the window's STORE and its read-back.
        EXPECT_EQ(relative(wire, 1), relative(golden[g], 0)) << cases[g].version;
        EXPECT_EQ(fleet.out.str(),
                  "COM1: firmware " + std::string(cases[g].version) + ": written, verified\n");
        EXPECT_EQ(fleet.stored("COM1").channelCode[3], 7125);
        EXPECT_EQ(fleet.stored("COM1").threshold, 45);
    }
}

TEST_F(Commands, ReadPrintsTheSettingsFileOfEachGeneration) {
    fleet.add("COM1", receiver("2.05"));
    ASSERT_EQ(fleet.run({"read", "-p", "COM1"}), kExitOk) << fleet.err.str();
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 V", "200 X", "1050 R"}));
    EXPECT_EQ(fleet.out.str(),
              "# TamloX receiver settings. `tamlo write` and `tamlo apply` send the [settings]\n"
              "# table; [receiver] only says where and when they were read.\n"
              "\n[receiver]\nport = \"COM1\"\nfirmware = \"2.05 05-Nov-24\"\ngeneration = 3\n"
              "rssi = 40\nread_at = \"2026-12-07T12:00:00.000Z\"\n"
              "\n[settings]\n"
              "channel1 = \"134.000\"  # MHz\nchannel2 = \"135.250\"  # MHz\n"
              "channel3 = \"136.500\"  # MHz\nchannel4 = \"137.120\"  # MHz\n"
              "channel5 = \"138.000\"  # MHz\nchannel6 = \"138.990\"  # MHz\n"
              "threshold = 45\naudio_level = 7  # 0 to 31\ndiversity = false\nlna_supply = true\n");

    fleet.add("COM1", receiver("1.90"));
    ASSERT_EQ(fleet.run({"read", "-p", "COM1", "--json"}), kExitOk) << fleet.err.str();
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 V", "200 X", "1050 M", "2750 R"}));
    EXPECT_NE(fleet.out.str().find("\"generation\": 2"), std::string::npos);
    EXPECT_NE(fleet.out.str().find("\"audio_level\": 7"), std::string::npos);
    EXPECT_EQ(fleet.out.str().find("lna_supply"), std::string::npos);

    fleet.add("COM1", receiver("1.75"));
    const std::string out = (dir_ / "g1.toml").string();
    ASSERT_EQ(fleet.run({"read", "-p", "COM1", "-o", out}), kExitOk) << fleet.err.str();
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 V", "200 M", "1900 R"}));
    EXPECT_EQ(fleet.out.str(), "");
    std::ifstream written(out);
    const std::string text((std::istreambuf_iterator<char>(written)), {});
    EXPECT_NE(text.find("generation = 1"), std::string::npos);
    EXPECT_EQ(text.find("audio_level"), std::string::npos);
}

TEST_F(Commands, ReadThenWriteSendsWhatStoreAfterLoadSends) {
    // The unchanged file goes back as the unchanged form would: C47120, not C47125.
    for (const char* version : {"2.05", "1.90", "1.70"}) {
        fleet.add("COM1", receiver(version));
        ASSERT_EQ(fleet.run({"read", "-p", "COM1"}), kExitOk);
        const std::string path = file("unchanged.toml", fleet.out.str());
        ASSERT_EQ(fleet.run({"write", "-p", "COM1", path, "--no-verify"}), kExitOk)
            << fleet.err.str();
        const Wire& wire = fleet.wire("COM1");
        EXPECT_TRUE(std::any_of(wire.begin(), wire.end(),
                                [](const std::string& w) { return w.ends_with(" C47120"); }))
            << version << ": " << ::testing::PrintToString(wire);
    }
}

TEST_F(Commands, ApplyWritesOnlyWhatDiffersAndOnlyOnce) {
    for (const char* version : {"2.05", "1.90", "1.70"}) {
        fleet.add("COM1", receiver(version));
        const std::string path =
            file("fleet.toml", "[settings]\nchannel3 = \"136.750\"\nthreshold = 50\n");
        ASSERT_EQ(fleet.run({"apply", path, "-p", "COM1"}), kExitOk) << fleet.err.str();
        EXPECT_EQ(fleet.out.str(),
                  "COM1: changed, verified\n"
                  "  channel 3: 136.500 -> 136.750 MHz\n"
                  "  threshold: 45 -> 50\n"
                  "apply: 1 receiver: 0 unchanged, 1 changed, 0 failed\n");
        EXPECT_EQ(fleet.stored("COM1").channelCode[2], 6750);
        EXPECT_EQ(fleet.stored("COM1").threshold, 50);
        // The rest went back as the receiver had it.
        EXPECT_EQ(fleet.stored("COM1").channelCode[3], 7120);
        EXPECT_EQ(fleet.stored("COM1").audioLevel, 7);

        ASSERT_EQ(fleet.run({"apply", path, "-p", "COM1"}), kExitOk);
        EXPECT_EQ(fleet.out.str(),
                  "COM1: unchanged\napply: 1 receiver: 1 unchanged, 0 changed, 0 failed\n");
        const Wire wire = relative(fleet.wire("COM1"), 0);
        const Wire reads = version[0] == '2'   ? Wire{"0 V", "200 X"}
                           : version[2] == '9' ? Wire{"0 V", "200 X", "1050 M"}
                                               : Wire{"0 V", "200 M"};
        EXPECT_EQ(wire, reads) << version;
    }
}

TEST_F(Commands, ApplyWireOfAChangedGeneration3Receiver) {
    fleet.add("COM1", receiver("2.05"));
    const std::string path = file("fleet.toml", "[settings]\nchannel3 = \"136.750\"\n");
    ASSERT_EQ(fleet.run({"apply", path, "-p", "COM1"}), kExitOk);
    EXPECT_EQ(fleet.wire("COM1"),
              (Wire{"0 V", "200 X", "1050 E", "1250 0", "1450 L07D0P1", "1625 C14000",
                    "1775 C25250", "1925 C36750", "2075 C47120", "2225 C58000", "2375 C68990",
                    "2525 T45", "2600 E", "2800 1", "3000 X"}));
}

TEST_F(Commands, DryRunSaysWhatWouldChangeAndSendsNoWrite) {
    fleet.add("COM1", receiver("2.05"));
    const std::string path = file("fleet.toml", "[settings]\ndiversity = true\n");
    ASSERT_EQ(fleet.run({"apply", path, "-p", "COM1", "--dry-run"}), kExitOk);
    EXPECT_EQ(fleet.out.str(),
              "COM1: would change\n  diversity: off -> on\n"
              "apply: 1 receiver: 0 unchanged, 1 to change, 0 failed\n");
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 V", "200 X"}));
}

TEST_F(Commands, VerificationNamesTheFieldTheAskedAndTheReadValue) {
    // The window lets a negative threshold through; the receiver reports its low byte.
    fleet.add("COM1", receiver("2.05"));
    const std::string path = file("fleet.toml", "[settings]\nthreshold = -5\n");
    EXPECT_EQ(fleet.run({"apply", path, "-p", "COM1"}), kExitFailed);
    EXPECT_EQ(fleet.out.str(),
              "COM1: failed (a write was sent)\n"
              "  threshold: 45 -> -5\n"
              "  verification failed: threshold: asked -5, read 251\n"
              "apply: 1 receiver: 0 unchanged, 0 changed, 1 failed (COM1)\n");
    fleet.add("COM1", receiver("2.05"));
    EXPECT_EQ(fleet.run({"apply", path, "-p", "COM1", "--no-verify"}), kExitOk);
}

TEST_F(Commands, KeysWithoutAControlAreSkippedOrWithStrictRefused) {
    const std::string path = file("fleet.toml", std::string(kStoreChannels) +
                                                    "audio_level = 9\ndiversity = true\n"
                                                    "lna_supply = false\n");
    fleet.add("COM1", receiver("1.75"));
    fleet.add("COM2", receiver("1.90"));
    fleet.add("COM3", receiver("2.05"));
    EXPECT_EQ(fleet.run({"apply", path, "-p", "COM1", "-p", "COM2", "-p", "COM3"}), kExitOk);
    EXPECT_EQ(fleet.err.str(),
              "tamlo: COM1: firmware 1.75 (generation 1) has no control for 'audio_level': "
              "skipped\n"
              "tamlo: COM1: firmware 1.75 (generation 1) has no control for 'diversity': "
              "skipped\n"
              "tamlo: COM1: firmware 1.75 (generation 1) has no control for 'lna_supply': "
              "skipped\n"
              "tamlo: COM2: firmware 1.90 (generation 2) has no control for 'lna_supply': "
              "skipped\n");
    EXPECT_EQ(fleet.stored("COM2").audioLevel, 9);
    EXPECT_TRUE(fleet.stored("COM2").diversity);
    EXPECT_FALSE(fleet.stored("COM3").lna);

    fleet.add("COM1", receiver("1.75"));
    EXPECT_EQ(fleet.run({"--strict", "write", "-p", "COM1", path}), kExitFailed);
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 V"}));
    EXPECT_NE(fleet.out.str().find("COM1: failed\n  firmware 1.75 (generation 1) has no control "
                                   "for 'audio_level'\n"),
              std::string::npos)
        << fleet.out.str();
}

TEST_F(Commands, WriteNeedsEveryKeyOfTheGeneration) {
    fleet.add("COM1", receiver("2.05"));
    const std::string path = file("fleet.toml", kStoreChannels);
    EXPECT_EQ(fleet.run({"write", "-p", "COM1", path}), kExitFailed);
    EXPECT_EQ(fleet.out.str(),
              "COM1: failed\n  the file has no 'audio_level', 'diversity', 'lna_supply', which "
              "firmware 2.05 needs for a write (apply keeps the receiver's own values)\n");
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 V"}));
}

TEST_F(Commands, AnInvalidFileSendsNothing) {
    fleet.add("COM1", receiver("2.05"));
    const std::string path =
        file("bad.toml", "[settings]\nchannel1 = \"139.000\"\nthreshold = 100\n");
    EXPECT_EQ(fleet.run({"apply", path, "-p", "COM1"}), kExitUsage);
    EXPECT_EQ(fleet.err.str(), "tamlo: " + path +
                                   ":2:12: settings.channel1 = \"139.000\": Invalid frequency\n"
                                   "tamlo: " +
                                   path +
                                   ":3:13: settings.threshold = 100: Invalid Threshold value\n"
                                   "tamlo: nothing was sent: the file has 2 errors\n");
    EXPECT_TRUE(fleet.wire("COM1").empty());
    EXPECT_EQ(fleet.run({"apply", (dir_ / "missing.toml").string(), "-p", "COM1"}), kExitUsage);
    EXPECT_EQ(fleet.run({"apply", file("empty.toml", "[receiver]\nport = \"x\"\n"), "-p", "COM1"}),
              kExitUsage);
}

TEST_F(Commands, OneFailingReceiverDoesNotStopTheOthers) {
    fleet.add("COM1", receiver("2.05"));
    sim::ReceiverSettings silent = receiver("2.05");
    silent.fault = sim::Fault::Silent;
    fleet.add("COM2", silent);
    fleet.add("COM3", receiver("1.75"));
    const std::string path = file("fleet.toml", "[settings]\nchannel1 = \"138.500\"\n");
    EXPECT_EQ(fleet.run({"apply", path, "-p", "COM1", "-p", "COM2", "-p", "COM3", "-p", "COM9",
                         "--json"}),
              kExitFailed);
    EXPECT_EQ(fleet.stored("COM1").channelCode[0], 8500);
    EXPECT_EQ(fleet.stored("COM3").channelCode[0], 8500);
    const std::string out = fleet.out.str();
    EXPECT_NE(out.find("\"port\": \"COM2\",\n    \"ok\": false"), std::string::npos) << out;
    EXPECT_NE(out.find("no answer from the receiver"), std::string::npos);
    EXPECT_NE(out.find("\"port\": \"COM9\",\n    \"ok\": false"), std::string::npos);
    EXPECT_NE(out.find("\"text\": \"channel 1: 134.000 -> 138.500 MHz\""), std::string::npos);
    EXPECT_EQ(fleet.err.str(),
              "apply: 4 receivers: 0 unchanged, 2 changed, 2 failed (COM2, COM9)\n");
}

TEST_F(Commands, PortsAndAll) {
    fleet.add("COM1", receiver("2.05"));
    fleet.add("COM2", receiver("1.90"));
    ASSERT_EQ(fleet.run({"ports"}), kExitOk);
    EXPECT_EQ(fleet.out.str(), "COM1\nCOM2\n");
    ASSERT_EQ(fleet.run({"ports", "--json"}), kExitOk);
    EXPECT_EQ(fleet.out.str(), "[\"COM1\",\"COM2\"]\n");
    const std::string path = file("fleet.toml", "[settings]\nthreshold = 45\n");
    ASSERT_EQ(fleet.run({"apply", path, "--all", "-q"}), kExitOk);
    EXPECT_EQ(fleet.out.str(), "COM1: unchanged\nCOM2: unchanged\n");
}

TEST_F(Commands, RssiPollsOncePerIntervalAndAppendsCsv) {
    fleet.add("COM1", receiver("2.05"));
    const std::string csv = (dir_ / "survey.csv").string();
    ASSERT_EQ(fleet.run({"rssi", "-p", "COM1", "--count", "3", "--interval", "500", "--csv", csv}),
              kExitOk);
    EXPECT_EQ(fleet.wire("COM1"), (Wire{"0 R", "500 R", "1000 R"}));
    EXPECT_EQ(fleet.out.str(),
              "2026-12-07T12:00:00.000Z  COM1  40  \xe2\x96\x84\n"
              "2026-12-07T12:00:00.000Z  COM1  40  \xe2\x96\x84\xe2\x96\x84\n"
              "2026-12-07T12:00:00.000Z  COM1  40  \xe2\x96\x84\xe2\x96\x84\xe2\x96\x84\n");
    ASSERT_EQ(fleet.run({"rssi", "-p", "COM1", "--count", "1", "--csv", csv}), kExitOk);
    std::ifstream in(csv);
    const std::string rows((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(rows,
              "time,port,rssi\n"
              "2026-12-07T12:00:00.000Z,COM1,40\n2026-12-07T12:00:00.000Z,COM1,40\n"
              "2026-12-07T12:00:00.000Z,COM1,40\n2026-12-07T12:00:00.000Z,COM1,40\n");
}

// Ctrl-C at a chosen virtual moment: the clock of the line presses it.
class PressAt final : public Clock {
  public:
    PressAt(sim::VirtualLine& line, Board& board, int64_t atMs)
        : line_(line), board_(board), atMs_(atMs) {}
    void pauseMs(int32_t ms) override {
        line_.pauseMs(ms);
        if (!pressed_ && line_.nowMs() >= atMs_) {
            pressed_ = true;
            board_.cancel();
        }
    }

  private:
    sim::VirtualLine& line_;
    Board& board_;
    int64_t atMs_;
    bool pressed_ = false;
};

TEST_F(Commands, CtrlCFinishesAStoreButStartsNone) {
    SettingsFile file;
    file.channels[2] = "136.750";
    struct Case {
        int64_t pressMs;
        bool written;
        const char* error;
    };
    // During the read, nothing is written; during the STORE, it runs to its closing pair
    // and the read-back is skipped.
    for (const Case c : {Case{500, false, "interrupted before writing: nothing was written"},
                         Case{1500, true, "interrupted after writing: not verified"}}) {
        sim::VirtualLine& line = fleet.add("COM1", receiver("2.05"));
        ASSERT_TRUE(line.openPort("COM1"));
        Board board({"COM1"}, [] { return int64_t{0}; });
        PortProgress progress(board, 0);
        PressAt clock(line, board, c.pressMs);
        Line wire{line, clock, nullptr};
        const PortReport report = applyReceiver(wire, "COM1", file, {}, progress);
        EXPECT_TRUE(report.interrupted);
        EXPECT_EQ(report.written, c.written);
        EXPECT_EQ(report.errors, std::vector<std::string>{c.error});
        const std::string sent = line.writtenText();
        EXPECT_EQ(sent, c.written ? "VXE0L07D0P1C14000C25250C36750C47120C58000C68990T45E1" : "VX");
    }
}

}  // namespace
}  // namespace tamlo::cli
