// Writes the seed corpora of the reply parsers and of the whole program from the simulated
// receiver's real replies, and of the settings-file reader from the same receivers' settings
// as the command-line tool writes them: fuzz_seed_replies DIR writes DIR/reply_parsers/*,
// DIR/configurator/* and DIR/settings_file/*. Run once; the seeds are checked in, beside the
// inputs that once failed (found-*), kept so that every run tries them again.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "sim/receiver.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seed_replies DIR\n";
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir / "reply_parsers");
    fs::create_directories(dir / "configurator");
    fs::create_directories(dir / "settings_file");
    int n = 0;
    for (const char* version : {"1.50", "1.85", "1.90", "2.05"}) {
        for (int variant = 0; variant < 2; ++variant) {
            tamlo::sim::ReceiverSettings settings;
            settings.version = version;
            if (variant == 1) {
                settings.channelCode = {4005, 5255, 6505, 7125, 8000, 8990};
                settings.threshold = 99;
                settings.audioLevel = 31;
                settings.diversity = true;
                settings.lna = false;
                settings.rssi = 0;
            }
            const tamlo::sim::Receiver receiver(settings);
            const int gen = receiver.traits().number;
            const std::string tag = std::string(version) + "-" + std::to_string(variant);
            write(dir / "reply_parsers" / ("text-" + tag), receiver.textBlockReply());
            write(dir / "reply_parsers" / ("hex-" + tag), receiver.hexBlockReply());

            // LOAD, STORE with its read-back, three trace ticks, STORE again; the replies in
            // the order the program asks for them, each with its echo.
            const std::string v = "V" + receiver.versionReply();
            const std::string x = "X" + receiver.hexBlockReply();
            const std::string m = "M" + receiver.textBlockReply();
            const std::string r = "R" + receiver.rssiReply();
            std::vector<std::string> readBack;
            if (gen >= 2) {
                readBack.push_back(x);
            }
            if (gen <= 2) {
                readBack.push_back(m);
            }
            std::string input = "clskttt";
            input += variant == 1 ? "T7100\nTA40\ns" : "T1138.500 MHz\nds";
            input += '\0';
            input += v;
            for (const std::string& reply : readBack) {
                input += '\0' + reply;
            }
            input += '\0' + r;
            for (int store = 0; store < 2; ++store) {
                for (const std::string& reply : readBack) {
                    input += '\0' + reply;
                }
                if (store == 0) {
                    input += '\0' + r + '\0' + r + '\0' + r;
                }
            }
            write(dir / "configurator" / ("session-" + tag), input);

            // The same settings as `tamlo read` writes them, whole and with keys left out.
            tamlo::SettingsFile file;
            for (size_t i = 0; i < 6; ++i) {
                file.channelCodes[i] = settings.channelCode[i];
            }
            file.threshold = settings.threshold;
            if (gen >= 2) {
                file.audioLevel = settings.audioLevel;
                file.diversity = settings.diversity;
            }
            if (gen == 3) {
                file.lnaSupply = settings.lna;
            }
            file.source = tamlo::SourceInfo{
                "/dev/ttyUSB0",        {}, {}, {}, receiver.versionReply(), gen, settings.rssi,
                "2026-12-07T06:19:00Z"};
            write(dir / "settings_file" / (tag + ".toml"), tamlo::writeSettingsToml(file));
            write(dir / "settings_file" / (tag + ".json"), tamlo::writeSettingsJson(file));
            file.channelCodes[2].reset();
            file.source.reset();
            file.threshold = 100;
            write(dir / "settings_file" / (tag + "-partial.toml"), tamlo::writeSettingsToml(file));
            ++n;
        }
    }
    std::cout << n << " receivers\n";
    return 0;
}
