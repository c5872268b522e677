// The commands against simulated receivers in virtual time: what each prints, the exit
// status, and every command on each line with its exact virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "cli/receiver_jobs.h"
#include "virtual_fleet.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

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
        // Unique to this run: the same tests may run at once from another build folder.
        dir_ = std::filesystem::temp_directory_path() /
               ("tamlo-cli-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(std::random_device{}()));
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
              "# table; [source] only says where and when they were read.\n"
              "\n[source]\nport = \"COM1\"\nfirmware = \"2.05 05-Nov-24\"\ngeneration = 3\n"
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

TEST_F(Commands, ValuesAreJudgedAsEachGenerationReportsThem) {
    // Generation 3 reports its threshold as one byte: -5 comes back as 251, which is -5.
    fleet.add("COM1", receiver("2.05"));
    const std::string minus5 = file("minus5.toml", "[settings]\nthreshold = -5\n");
    EXPECT_EQ(fleet.run({"apply", minus5, "-p", "COM1"}), kExitOk);
    EXPECT_EQ(fleet.out.str(),
              "COM1: changed, verified\n  threshold: 45 -> -5\n"
              "apply: 1 receiver: 0 unchanged, 1 changed, 0 failed\n");
    ASSERT_EQ(fleet.run({"read", "-p", "COM1"}), kExitOk);
    EXPECT_NE(fleet.out.str().find("threshold = -5\n"), std::string::npos) << fleet.out.str();
    EXPECT_EQ(fleet.run({"apply", minus5, "-p", "COM1"}), kExitOk);
    EXPECT_EQ(fleet.out.str(),
              "COM1: unchanged\napply: 1 receiver: 1 unchanged, 0 changed, 0 "
              "failed\n");
    // A value one generation cannot report back as written is refused for that receiver
    // alone, before anything is written to it; the others go on.
    fleet.add("COM2", receiver("1.90"));
    const std::string minus200 = file("minus200.toml", "[settings]\nthreshold = -200\n");
    EXPECT_EQ(fleet.run({"apply", minus200, "-p", "COM1", "-p", "COM2"}), kExitFailed);
    EXPECT_EQ(relative(fleet.wire("COM1"), 0), (Wire{"0 V", "200 X"}));
    EXPECT_EQ(fleet.stored("COM2").threshold, -200);
    EXPECT_NE(fleet.out.str().find("COM1: failed\n  threshold -200: generation 3 reports it as "
                                   "one byte, so only -128 to 99 reads back as written; nothing "
                                   "was written to firmware 2.05 (generation 3)\n"),
              std::string::npos)
        << fleet.out.str();
}

struct FaultCase {
    const char* name;
    sim::Fault fault;
    int32_t parameter;
    std::vector<std::string> args;
    int status;
    std::string says;  // once, on standard output or standard error
    Wire wire;
    int64_t endsAtMs;  // the receiver's virtual time at the end; -1: not asked
};

// Receivers that answer wrongly fail with a message that names what went wrong, before
// anything is written to them.
TEST_F(Commands, ReceiversThatAnswerWronglyAreNamed) {
    const std::string path = file("fleet.toml", "[settings]\nchannel1 = \"138.500\"\n");
    const FaultCase cases[] = {
        {"a version reply cut short",
         sim::Fault::CutOff,
         3,
         {"apply", path, "-p", "COM1"},
         1,
         "the receiver's version reply was cut: \"1.\"; nothing was written",
         {"0 V"},
         -1},
        {"a silent receiver",
         sim::Fault::Silent,
         0,
         {"apply", path, "-p", "COM1"},
         1,
         "no answer from the receiver (nothing came back to \"V\")",
         {"0 V"},
         -1},
        {"a reply without its echo",
         sim::Fault::NoEcho,
         0,
         {"apply", path, "-p", "COM1"},
         1,
         "the reply to V came without its echo (\"1.50 05-Nov-24\"); is another device on this "
         "line?",
         {"0 V"},
         -1},
        {"rssi with no answer",
         sim::Fault::Silent,
         0,
         {"rssi", "-p", "COM1", "--count", "2", "--csv", "-"},
         1,
         "time,port,rssi\n2026-12-07T12:00:00.000Z,COM1,\n2026-12-07T12:00:00.000Z,COM1,\n",
         {"0 R", "1000 R"},
         -1},
        // Pulled out as it heard the second "R": the third finds the line dead. The interval
        // holds while the port does not open again, and nothing is polled meanwhile.
        {"rssi on a line that fails",
         sim::Fault::UnplugAfter,
         2,
         {"rssi", "-p", "COM1", "--count", "5", "--csv", "-"},
         1,
         "tamlo: COM1: the line failed: Input/output error; polling again once the port opens\n",
         {"0 R", "1000 R", "2000 R"},
         4000},
        // A full disk ends the output and the run after the poll under way.
        {"rssi --csv on a full disk",
         sim::Fault::None,
         0,
         {"rssi", "-p", "COM1", "--count", "3", "--csv", "/dev/full"},
         1,
         "tamlo: /dev/full: cannot be written: No space left on device\n",
         {"0 R"},
         200},
        // A picture that cannot be kept is found out before anything is polled.
        {"rssi --plot into no folder",
         sim::Fault::None,
         0,
         {"rssi", "-p", "COM1", "--count", "3", "--plot", "/nonexistent/survey.svg"},
         2,
         "tamlo: /nonexistent/survey.svg: cannot be written: ",
         {},
         -1},
        {"--log on a full disk",
         sim::Fault::None,
         0,
         {"--log", "/dev/full", "read", "-p", "COM1"},
         1,
         "tamlo: /dev/full: cannot be written: No space left on device\n",
         {},
         0},
    };
    for (const FaultCase& c : cases) {
        sim::ReceiverSettings r = receiver("1.50");
        r.fault = c.fault;
        r.cutAfter = c.parameter;
        r.unplugAfter = c.parameter;
        fleet.add("COM1", r);
        EXPECT_EQ(fleet.run(c.args), c.status) << c.name;
        const std::string said = fleet.out.str() + fleet.err.str();
        const size_t at = said.find(c.says);
        EXPECT_NE(at, std::string::npos) << c.name << ": " << said;
        EXPECT_EQ(said.find(c.says, at + 1), std::string::npos) << c.name << ": " << said;
        EXPECT_EQ(fleet.wire("COM1"), c.wire) << c.name;
        if (c.endsAtMs >= 0) {
            EXPECT_EQ(fleet.line("COM1").nowMs(), c.endsAtMs) << c.name;
        }
    }
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
    EXPECT_NE(
        fleet.err.str().find(path + ":2:12: settings.channel1 = \"139.000\": Invalid frequency"),
        std::string::npos);
    EXPECT_TRUE(fleet.err.str().ends_with("tamlo: nothing was sent: the file has 2 errors\n"));
    EXPECT_TRUE(fleet.wire("COM1").empty());
    const std::string missing = (dir_ / "missing.toml").string();
    EXPECT_EQ(fleet.run({"apply", missing, "-p", "COM1"}), kExitUsage);
    EXPECT_EQ(fleet.err.str(), "tamlo: " + missing + ": cannot be read: no such file\n");
    EXPECT_EQ(fleet.run({"apply", dir_.string(), "-p", "COM1"}), kExitUsage);
    EXPECT_EQ(fleet.err.str(),
              "tamlo: " + dir_.string() + ": cannot be read: is a folder, not a file\n");
    EXPECT_EQ(fleet.run({"apply", file("empty.toml", "[receiver]\nport = \"x\"\n"), "-p", "COM1"}),
              kExitUsage);
    // With --json, a file error is one JSON object on standard output.
    EXPECT_EQ(fleet.run({"apply", path, "-p", "COM1", "--json"}), kExitUsage);
    const nlohmann::json error = nlohmann::json::parse(fleet.out.str());
    EXPECT_EQ(error["file"], path);
    EXPECT_EQ(error["line"], 2);
    EXPECT_EQ(error["column"], 12);
    EXPECT_TRUE(error["error"].get<std::string>().starts_with(
        "settings.channel1 = \"139.000\": Invalid frequency"));
    EXPECT_TRUE(fleet.wire("COM1").empty());
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

TEST_F(Commands, BackupsAreKeptWholeInTheFormatOfTheirName) {
    fleet.add("COM1", receiver("2.05"));
    const std::string keep = file("keep.toml", "old backup\n");
#ifdef _WIN32
    const std::string device = (dir_ / "NUL.toml").string();
#else
    const std::string device = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(device.c_str(), 0600), 0);
#endif
    // A folder where the file should go, a folder that is not there, a device or a FIFO that no
    // one reads (written into, it would wait for ever): each fails before the receiver is asked.
    for (const std::string& to : {dir_.string(), (dir_ / "none" / "x.toml").string(), device}) {
        EXPECT_EQ(fleet.run({"read", "-p", "COM1", "-o", to}), kExitUsage) << to;
        EXPECT_TRUE(fleet.wire("COM1").empty());
    }
    ASSERT_EQ(fleet.run({"read", "-p", "COM1", "-o", keep}), kExitOk);
    std::ifstream in(keep);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("[settings]"), std::string::npos);
    const std::string json = (dir_ / "rx3.json").string();
    ASSERT_EQ(fleet.run({"read", "-p", "COM1", "-o", json}), kExitOk);
    std::ifstream jsonIn(json);
    EXPECT_EQ(jsonIn.get(), '{');
    // The file just written writes back.
    EXPECT_EQ(fleet.run({"write", "-p", "COM1", json}), kExitOk) << fleet.out.str();
    // A port named twice is used once.
    EXPECT_EQ(fleet.run({"apply", json, "-p", "COM1", "-p", "COM1"}), kExitOk);
    EXPECT_EQ(fleet.err.str(), "tamlo: COM1 is named more than once; it is used once\n");
    EXPECT_EQ(fleet.out.str(),
              "COM1: unchanged\napply: 1 receiver: 1 unchanged, 0 changed, 0 "
              "failed\n");
}

TEST_F(Commands, PortsAndAll) {
    fleet.add("COM1", receiver("2.05"));
    fleet.add("COM2", receiver("1.90"));
    ASSERT_EQ(fleet.run({"ports"}), kExitOk);
    EXPECT_EQ(fleet.out.str(), "COM1: free\nCOM2: free\n");
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
              "2026-12-07T12:00:00.000Z  COM1   40  \xe2\x96\x84\n"
              "2026-12-07T12:00:00.000Z  COM1   40  \xe2\x96\x84\xe2\x96\x84\n"
              "2026-12-07T12:00:00.000Z  COM1   40  \xe2\x96\x84\xe2\x96\x84\xe2\x96\x84\n");
    // Columns line up across ports of other names' lengths.
    fleet.add("/dev/m\xc3\xa2t-2", receiver("2.05"));
    ASSERT_EQ(fleet.run({"rssi", "-p", "COM1", "-p", "/dev/m\xc3\xa2t-2", "--count", "1"}),
              kExitOk);
    EXPECT_NE(fleet.out.str().find("  COM1         40  "), std::string::npos) << fleet.out.str();
    EXPECT_NE(fleet.out.str().find("  /dev/m\xc3\xa2t-2   40  "), std::string::npos);
    // One picture a port when there are several, each named for its port.
    const std::string svg = (dir_ / "survey.svg").string();
    fleet.add("COM2", receiver("1.90"));
    ASSERT_EQ(fleet.run({"rssi", "-p", "COM1", "-p", "COM2", "--count", "2", "--plot", svg}),
              kExitOk);
    for (const char* name : {"survey-COM1.svg", "survey-COM2.svg"}) {
        std::ifstream picture(dir_ / name);
        const std::string text((std::istreambuf_iterator<char>(picture)), {});
        EXPECT_NE(text.find("<polyline points=\"50.0,"), std::string::npos) << name;
    }
    ASSERT_EQ(fleet.run({"rssi", "-p", "COM1", "--count", "1", "--csv", csv}), kExitOk);
    std::ifstream in(csv);
    const std::string rows((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(rows,
              "time,port,rssi\n"
              "2026-12-07T12:00:00.000Z,COM1,40\n2026-12-07T12:00:00.000Z,COM1,40\n"
              "2026-12-07T12:00:00.000Z,COM1,40\n2026-12-07T12:00:00.000Z,COM1,40\n");
}

// The fleet commands against a mixed fleet known by names: COM1 carries a USB adapter whose
// serial number names it mast-north (the default port), COM2 is mast-south by its device.
// The rows run in order on the same receivers.
TEST_F(Commands, AFleetKnownByName) {
    fleet.add("COM1", receiver("2.05"));
    fleet.add("COM2", receiver("1.90"));
    fleet.details["COM1"] = {"COM1",     "/dev/serial/by-id/usb-FTDI-A10K3QXZ",
                             "0403",     "6001",
                             "A10K3QXZ", "FT232R USB UART"};
    const std::string names =
        "default = \"mast-north\"\nmast-north = { serial = \"A10K3QXZ\" }\n"
        "mast-south = \"COM2\"\ngone = { serial = \"QQ\" }\n";
    const std::string d = dir_.string() + "/";
    const std::string partial = file("partial.toml", "[settings]\nthreshold = 45\n");
    const std::string g1 =
        file("g1.toml", "[source]\ngeneration = 1\n[settings]\nthreshold = 45\n");
    const std::string g3 = file("g3.toml",
                                "[source]\ngeneration = 3\n[settings]\nthreshold = 45\n"
                                "diversity = true\n");
    std::string manyNames;  // a large site's: 10,000 ports in some 270 KB
    for (int n = 0; n < 10000; ++n) {
        manyNames += "r" + std::to_string(n) + " = \"/dev/ttyUSB" + std::to_string(n) + "\"\n";
    }
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;        // in what it printed
        std::string ports = "";  // the ports file, when not the one above
    };
    const Case cases[] = {
        {{"ports"},
         0,
         "mast-north (COM1): free\n  by-id: /dev/serial/by-id/usb-FTDI-A10K3QXZ\n"
         "  adapter: USB 0403:6001 \"FT232R USB UART\", serial number A10K3QXZ\n"
         "mast-south (COM2): free\ngone: no adapter with USB serial number QQ is plugged in\n"},
        {{"ports", "--probe", "--json"}, 0, "\"firmware\": \"1.90 05-Nov-24\""},
        {{"ports", "--names"}, 0, "mast-north\nCOM1\nmast-south\nCOM2\ngone\n"},
        // Two names of one device: one worker talks on it, and the second name says why.
        {{"read", "-p", "mast-north", "-p", "north", "-o", d + "twice/"},
         0,
         "tamlo: north is the same device as mast-north (COM1); it is used once\n",
         "mast-north = \"COM1\"\nnorth = \"COM1\"\n"},
        {{"read", "--all", "-o", d + "b/"},
         0,
         "mast-north: firmware 2.05: saved to " + d +
             "b/mast-north.toml\n"
             "mast-south: firmware 1.90: saved to " +
             d +
             "b/mast-south.toml\n"
             "read: 2 receivers: 2 saved, 0 failed\n"},
        {{"diff", d + "b/mast-north.toml"}, 0, "mast-north and " + d + "b/mast-north.toml: equal"},
        // Across generations "equal" names what it did not compare.
        {{"diff", g1, g3}, 0, "equal; not compared: diversity\n"},
        {{"diff", g3, g1}, 0, "equal; only in " + g3 + ": diversity\n"},
        {{"--simulate", "read", "-o", d + "s/"}, 0, "saved to " + d + "s/sim.toml"},
        {{"set", "threshold=50", "channel3=136.75", "-p", "COM1"},
         0,
         "mast-north: changed, verified\n  channel 3: 136.500 -> 136.750 MHz\n"
         "  threshold: 45 -> 50\n"},
        {{"diff", d + "b/mast-north.toml", "--json"}, 1, "\"text\": \"threshold: 50 -> 45\""},
        {{"get", "threshold", "channel3"}, 0, "channel3 = 136.750\nthreshold = 50\n"},
        {{"get", "-p", "mast-south", "--json", "lna_supply", "audio_level"},
         0,
         "\"firmware\": \"1.90\",\n    \"settings\": {\n      \"audio_level\": 7\n    },\n"
         "    \"error\": null\n  }\n]\ntamlo: mast-south: firmware 1.90 has no control for "
         "'lna_supply'"},
        // With --json one document whatever happens: a port that failed says why in it.
        {{"get", "-p", "gone", "--json"},
         1,
         "\"firmware\": null,\n    \"settings\": null,\n    \"error\": \"no adapter with USB "
         "serial number QQ is plugged in\"\n"},
        {{"read", "-p", "gone", "--json"}, 1, "\"source\": null,\n    \"settings\": null,\n"},
        {{"set", "threshold=5O", "--json"}, 2, "found '5O'; nothing was sent\",\"file\":null,"},
        {{"--strict", "write", "-p", "mast-south", d + "b/mast-north.toml"},
         1,
         "the backup was read from generation 3 firmware (mast-north); this receiver has "
         "firmware 1.90 (generation 2)"},
        {{"write", d + "b/mast-north.toml"}, 0, "mast-north: firmware 2.05: written, verified"},
        {{"diff", d + "b/mast-south.toml", d + "b/mast-north.toml"},
         0,
         "generation 2 has no control for 'lna_supply': not compared\n"},
        {{"diff", partial, d + "b/mast-north.toml"},
         1,
         "b/mast-north.toml: 9 differences\n  channel 1: not set -> 134.000 MHz\n"},
        {{"rssi", "-p", "mast-south", "--count", "1", "--json"},
         0,
         "{\"time\":\"2026-12-07T12:00:00.000Z\",\"port\":\"mast-south\",\"rssi\":40}\n"},
        {{"read", "-p", "COM2", "-o", d + "w/"}, 0, "saved to " + d + "w/COM2_.toml", "\n"},
        {{"read", "--all", "-o", d + "w/"}, 2, "be saved as COM2_.toml", "com2_ = \"COM1\""},
        {{"ports"}, 2, "larger than 4 MiB, so not a ports file", std::string(5 << 20, '#')},
        {{"ports", "--names"}, 0, "\nr9999\n", manyNames},
        {{"read", "-p", "gone"}, 1, "gone: no adapter with USB serial number QQ is plugged in"},
        // The kernel's console is no port of --all, and -p opens it only when told so.
        {{"read", "-p", "COM3"}, 1, "COM3: is the kernel's console; --allow-console opens it"},
        {{"get", "-p", "COM3", "--allow-console", "threshold"}, 0, "threshold = 45"},
        {{"get", "-p", "mast-nroth"}, 1, "no such port (did you mean mast-north?)"},
        {{"read", "--al"}, 2, "tamlo: read: unknown option '--al' (did you mean --all?)\n"},
        {{"set", "threshold=5O"}, 2, "settings.threshold: wrong type: expected a whole number"},
        {{"completion", "bash"}, 0, "complete -F _tamlo tamlo"},
        // -q and --strict take no value: the word after them is the command, not a file.
        {{"completion", "bash"}, 0, "\n            --log) ((i++)) ;;\n"},
        {{"read"}, 2, "read: name a port with -p PORT, or use --all", "\n"},
        {{"apply", "f.toml"}, 2, "apply: name a port with -p PORT, or use --all", "\n"},
        {{"read"}, 2, ":1:1: '-x': a name is letters", "-x = \"COM1\""},
        {{"ports"},
         2,
         "x: give a device or a serial, one of the two",
         "x = { device = \"a\", serial = \"b\" }"},
        {{"ports"},
         2,
         "y: unknown key 'port' (a port is a device or a serial)",
         "y = { port = \"COM1\" }"},
    };
    const std::string portsFile = file("ports.toml", "");
    fleet.portsFiles = {(dir_ / "none.toml").string(), portsFile};
    fleet.simulator = "COM2";
    fleet.add("COM3", receiver("2.05"));
    fleet.consoles = {"COM3"};
    for (const Case& c : cases) {
        std::ofstream(portsFile, std::ios::binary) << (c.ports.empty() ? names : c.ports);
        EXPECT_EQ(fleet.run(c.args), c.status) << c.args.front();
        EXPECT_NE((fleet.out.str() + fleet.err.str()).find(c.says), std::string::npos)
            << c.args.front() << ":\n"
            << fleet.out.str() << fleet.err.str();
    }
    EXPECT_EQ(fleet.stored("COM1").threshold, 45);  // the backup restored
}

// A stop request at a chosen virtual moment: the clock of the line makes it, once or twice.
class PressAt final : public Clock {
  public:
    PressAt(sim::VirtualLine& line, FleetProgress& progress, int64_t atMs, bool twice)
        : line_(line), progress_(progress), atMs_(atMs), twice_(twice) {}
    void pauseMs(int32_t ms) override {
        line_.pauseMs(ms);
        if (!pressed_ && line_.nowMs() >= atMs_) {
            pressed_ = true;
            progress_.cancel();
            if (twice_) {
                progress_.abort();
            }
        }
    }

  private:
    sim::VirtualLine& line_;
    FleetProgress& progress_;
    int64_t atMs_;
    bool twice_;
    bool pressed_ = false;
};

TEST_F(Commands, AStopFinishesAStoreButStartsNoneAndASecondSaysHowFarItGot) {
    SettingsFile file;
    file.channelCodes[2] = 6750;
    struct Case {
        int64_t pressMs;
        bool twice;
        bool written;
        const char* error;
        const char* sent;
    };
    // During the read, nothing is written; during the STORE, it runs to its closing pair
    // and the read-back is skipped; a second request stops at once, mid-write.
    const Case cases[] = {
        {500, false, false, "interrupted before writing: nothing was written", "VX"},
        {1500, false, true, "interrupted after writing: not verified",
         "VXE0L07D0P1C14000C25250C36750C47120C58000C68990T45E1"},
        {1700, true, false,
         "stopped after the audio command was sent: the receiver holds a mix; run the write "
         "again",
         "VXE0L07D0P1C14"},
    };
    for (const Case& c : cases) {
        sim::VirtualLine& line = fleet.add("COM1", receiver("2.05"));
        FleetProgress progress({"COM1"}, [] { return int64_t{0}; });
        const ConnectionFactory connect = [&](const std::string&) -> std::unique_ptr<Connection> {
            class Pressed final : public Connection {
              public:
                Pressed(sim::VirtualLine& l, FleetProgress& p, const Case& k)
                    : line_(l), clock_(l, p, k.pressMs, k.twice) {}
                SerialPort& port() override { return line_; }
                Clock& clock() override { return clock_; }

              private:
                sim::VirtualLine& line_;
                PressAt clock_;
            };
            return std::make_unique<Pressed>(line, progress, c);
        };
        FleetOptions options;
        const std::vector<PortReport> reports = runFleet(
            progress, connect,
            [&](Line& l, const std::string& port, PortProgress& p) {
                return applyReceiver(l, port, file, {}, p);
            },
            options);
        const PortReport& report = reports.front();
        EXPECT_TRUE(report.interrupted) << c.pressMs;
        EXPECT_EQ(report.written, c.written) << c.pressMs;
        EXPECT_EQ(report.errors, std::vector<std::string>{c.error}) << c.pressMs;
        EXPECT_EQ(line.writtenText(), c.sent) << c.pressMs;
    }
}

}  // namespace
}  // namespace tamlo::cli
