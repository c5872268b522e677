// `tamlo ports` on a machine with 64 USB serial adapters: a sysfs tree as the kernel lays it
// out (device, interface, usb-serial port, tty) with a /dev/serial/by-id link for each, made
// in a temporary folder, and the whole command run against it: discovery, the adapters'
// details, an open attempt on every device (regular files here, so each is refused at once,
// as a port held elsewhere would be) and the report. Prints the median and worst wall time
// in milliseconds and how many ports the report listed.
//
//   bench_ports_listing [DEVICES] [RUNS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/tamlo_program.h"
#include "files/posix/posix_file_store.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"

namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
}

// 64 FTDI adapters on a hub, the way udev names them.
void makeTree(const fs::path& root, int devices) {
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    fs::create_directories(sys / "class" / "tty");
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_directories(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio");
    for (int n = 0; n < devices; ++n) {
        const std::string tty = "ttyUSB" + std::to_string(n);
        const std::string serial = "A10K" + std::to_string(1000 + n);
        const fs::path usb = sys / "devices" / "pci0000:00" / "usb1" / ("1-" + std::to_string(n));
        const fs::path port = usb / ("1-" + std::to_string(n) + ":1.0") / tty;
        fs::create_directories(port / "tty" / tty);
        put(usb / "idVendor", "0403");
        put(usb / "idProduct", "6001");
        put(usb / "serial", serial);
        put(usb / "product", "FT232R USB UART");
        fs::create_directory_symlink(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio",
                                     port / "driver");
        fs::create_directory_symlink(port, port / "tty" / tty / "device");
        put(port / "tty" / tty / "uevent",
            "MAJOR=188\nMINOR=" + std::to_string(n) + "\nDEVNAME=" + tty);
        fs::create_directory_symlink(port / "tty" / tty, sys / "class" / "tty" / tty);
        put(dev / tty, "");
        fs::create_symlink(
            "../../" + tty,
            dev / "serial" / "by-id" / ("usb-FTDI_FT232R_USB_UART_" + serial + "-if00-port0"));
    }
}

class TreeConnection final : public tamlo::cli::Connection {
  public:
    explicit TreeConnection(const fs::path& root) : port_(options(root)) {}
    tamlo::SerialPort& port() override { return port_; }
    tamlo::Clock& clock() override { return clock_; }

    static tamlo::PosixPortOptions options(const fs::path& root) {
        tamlo::PosixPortOptions o;
        o.sysfsRoot = root / "sys";
        o.devRoot = root / "dev";
        return o;
    }

  private:
    tamlo::PosixSerialPort port_;
    tamlo::RealClock clock_;
};

}  // namespace

int main(int argc, char** argv) {
    const int devices = argc > 1 ? std::atoi(argv[1]) : 64;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    const fs::path root =
        fs::temp_directory_path() / ("tamlo-ports-bench-" + std::to_string(getpid()));
    makeTree(root, devices);
    tamlo::PosixFileStore files;
    tamlo::LinuxPortLister lister(TreeConnection::options(root));
    std::vector<double> ms;
    size_t listed = 0;
    for (int run = 0; run < runs; ++run) {
        std::ostringstream out;
        std::ostringstream err;
        tamlo::cli::Platform platform{
            .connect = [&](const std::string&) -> std::unique_ptr<tamlo::cli::Connection> {
                return std::make_unique<TreeConnection>(root);
            },
            .lister = lister,
            .portsFiles = {},
            .startSimulator = nullptr,
            .isoNow = [] { return std::string(); },
            .monotonicMs = [] { return int64_t{0}; },
            .files = files,
            .readStandardInput = [](int64_t) { return tamlo::FileText{}; },
            .out = out,
            .err = err,
            .terminal = false,
            .unicode = false,
            .stopRequests = nullptr,
            .stopSignal = nullptr,
        };
        const auto start = std::chrono::steady_clock::now();
        tamlo::cli::runTamlo(std::vector<std::string>{"ports"}, platform);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        const std::string text = out.str();
        listed = 0;
        for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
            listed += text.compare(at, 2, "  ") != 0;  // a port's first line
        }
        if (run == 0 && std::getenv("TAMLO_BENCH_SHOW") != nullptr) {
            std::fputs(text.c_str(), stderr);
        }
    }
    fs::remove_all(root);
    std::sort(ms.begin(), ms.end());
    std::printf("%.2f %.2f %zu\n", ms[ms.size() / 2], ms.back(), listed);
    return 0;
}
