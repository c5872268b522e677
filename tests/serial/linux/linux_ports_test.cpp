#include "serial/linux/linux_ports.h"
#include "serial/linux/usb_adapters.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace tamlo {
namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out: devices under devices/, each tty a directory
// beside or below its device, and class/tty holding a link to every tty.
class FakeSysfs {
  public:
    FakeSysfs()
        : root_(fs::temp_directory_path() /
                ("tamlo-sysfs-" + std::to_string(getpid()) + "-" + std::to_string(++serial_))) {
        fs::create_directories(root_ / "class" / "tty");
        for (const char* driver : {"serial8250", "serial", "port", "usb-serial", "cdc_acm"}) {
            fs::create_directories(root_ / "bus" / "x" / "drivers" / driver);
        }
    }
    ~FakeSysfs() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    const fs::path& root() const { return root_; }

    // A device directory, optionally bound to a driver.
    fs::path device(const std::string& path, const std::string& driver = "") {
        const fs::path dir = root_ / "devices" / path;
        fs::create_directories(dir);
        if (!driver.empty()) {
            fs::create_directory_symlink(root_ / "bus" / "x" / "drivers" / driver, dir / "driver");
        }
        return dir;
    }

    // A tty below its device; attributes are the files next to it (type, uevent).
    void tty(const std::string& name, const fs::path& device,
             const std::map<std::string, std::string>& attributes = {}) {
        const fs::path dir = device / "tty" / name;
        fs::create_directories(dir);
        fs::create_directory_symlink(fs::relative(device, dir), dir / "device");
        for (const auto& [file, text] : attributes) {
            std::ofstream(dir / file) << text << "\n";
        }
        fs::create_directory_symlink(fs::relative(dir, root_ / "class" / "tty"),
                                     root_ / "class" / "tty" / name);
    }

    // A virtual tty: no device link.
    void virtualTty(const std::string& name) {
        const fs::path dir = root_ / "devices" / "virtual" / "tty" / name;
        fs::create_directories(dir);
        fs::create_directory_symlink(fs::relative(dir, root_ / "class" / "tty"),
                                     root_ / "class" / "tty" / name);
    }

  private:
    static inline int serial_ = 0;
    fs::path root_;
};

PortTypeQuery noQuery() {
    return [](const std::string&) -> std::optional<int> { return std::nullopt; };
}

TEST(LinuxPorts, ListsRealPortsAndLeavesOutVirtualOnesAndEmpty8250Slots) {
    FakeSysfs sys;
    for (const char* name : {"tty", "tty0", "tty1", "console", "ptmx"}) {
        sys.virtualTty(name);
    }
    // The PC's first UART, found through ACPI, and the 8250 driver's empty slots.
    sys.tty("ttyS0", sys.device("pnp0/00:04", "serial"), {{"type", "4"}});
    const fs::path platform = sys.device("platform/serial8250", "serial8250");
    for (int n = 1; n <= 31; ++n) {
        sys.tty("ttyS" + std::to_string(n), platform, {{"type", "0"}});
    }
    // Newer kernels: the tty hangs off a serial-core port device below the 8250 one.
    sys.tty("ttyS40", sys.device("platform/serial8250/serial8250:0/serial8250:0.40", "port"),
            {{"type", "0"}});
    sys.tty("ttyS10x", sys.device("platform/serial8250/serial8250:0/serial8250:0.41", "port"),
            {{"type", "4"}, {"uevent", "MAJOR=4\nMINOR=74\nDEVNAME=ttyS41"}});
    // USB adapters and a modem; numbers that sort wrongly as text.
    for (const char* name : {"ttyUSB10", "ttyUSB1", "ttyUSB0"}) {
        sys.tty(name, sys.device(std::string("pci0/usb1/1-1/") + name, "usb-serial"));
    }
    sys.tty("ttyACM0", sys.device("pci0/usb1/1-2/1-2:1.0", "cdc_acm"));
    // A driver that registers its tty under the virtual tree with a device link.
    sys.tty("ttyGS0", sys.device("virtual/gadget/g0"));

    const std::vector<std::string> found = findSerialDevices(sys.root(), "/dev", noQuery());
    EXPECT_EQ(found, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS41",
                                               "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB10"}));
}

TEST(LinuxPorts, AsksThe8250PortItselfWhenSysfsHasNoType) {
    struct Case {
        const char* what;
        std::optional<int> answer;
        bool listed;
    };
    const Case cases[] = {
        {"no UART in the slot", 0, false},
        {"a 16550A", 4, true},
        {"the device cannot be asked", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSysfs sys;
        sys.tty("ttyS3", sys.device("platform/serial8250", "serial8250"));
        sys.tty("ttyUSB0", sys.device("pci0/usb1/1-1", "usb-serial"));
        std::vector<std::string> asked;
        const PortTypeQuery query = [&](const std::string& path) {
            asked.push_back(path);
            return c.answer;
        };
        const std::vector<std::string> found = findSerialDevices(sys.root(), "/dev", query);
        // Only the 8250 port is asked, by its device path.
        EXPECT_EQ(asked, std::vector<std::string>{"/dev/ttyS3"});
        std::vector<std::string> expected;
        if (c.listed) {
            expected.push_back("/dev/ttyS3");
        }
        expected.push_back("/dev/ttyUSB0");
        EXPECT_EQ(found, expected);
    }
}

TEST(LinuxPorts, UsbAdaptersAreDescribedFromSysfsAndByIdLinks) {
    FakeSysfs sys;
    const fs::path dev = sys.root() / "dev";
    fs::create_directories(dev / "serial" / "by-id");
    for (const char* node : {"ttyUSB0", "ttyACM0", "ttyS0", "pts3"}) {
        std::ofstream(dev / node) << "";
    }
    const std::string link = (dev / "serial" / "by-id" / "usb-FTDI_FT232R_A10K3QXZ-if00").string();
    fs::create_symlink("../../ttyUSB0", link);
    // FTDI behind usb-serial: device, interface, port, tty; CDC ACM: device, interface, tty.
    const fs::path ftdi = sys.device("pci0/usb1/1-1");
    for (const auto& [file, text] :
         std::map<std::string, std::string>{{"idVendor", "0403"},
                                            {"idProduct", "6001"},
                                            {"serial", "A10K3QXZ"},
                                            {"product", "FT232R USB UART"}}) {
        std::ofstream(ftdi / file) << text << "\n";
    }
    sys.tty("ttyUSB0", sys.device("pci0/usb1/1-1/1-1:1.0/ttyUSB0", "usb-serial"));
    const fs::path acm = sys.device("pci0/usb1/1-2");
    std::ofstream(acm / "idVendor") << "2341\n";
    std::ofstream(acm / "idProduct") << "0043\n";
    sys.tty("ttyACM0", sys.device("pci0/usb1/1-2/1-2:1.0", "cdc_acm"));
    sys.tty("ttyS0", sys.device("pnp0/00:04", "serial"));
    const auto path = [&](const char* node) { return (dev / node).string(); };

    const std::vector<PortDetails> got = describeLinuxPorts(
        {path("ttyUSB0"), link, path("ttyACM0"), path("ttyS0"), path("pts3"), "/nonexistent"},
        sys.root(), dev);
    std::vector<std::string> fields;
    for (const PortDetails& d : got) {
        fields.push_back(d.device + "|" + d.byId + "|" + d.vendorId + ":" + d.productId + "|" +
                         d.serialNumber + "|" + d.product);
    }
    const std::string ftdiPort =
        path("ttyUSB0") + "|" + link + "|0403:6001|A10K3QXZ|FT232R USB UART";
    EXPECT_EQ(fields, (std::vector<std::string>{
                          ftdiPort, ftdiPort, path("ttyACM0") + "||2341:0043||",
                          path("ttyS0") + "||:||", path("pts3") + "||:||", "/nonexistent||:||"}));
}

TEST(LinuxPorts, NoSysfsMeansNoPorts) {
    EXPECT_TRUE(findSerialDevices("/nonexistent/sys", "/dev", noQuery()).empty());
}

TEST(LinuxPorts, NaturalOrder) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"/dev/ttyS2", "/dev/ttyS10", true},
        {"/dev/ttyS10", "/dev/ttyS2", false},
        {"/dev/ttyUSB0", "/dev/ttyUSB1", true},
        {"/dev/ttyS9", "/dev/ttyUSB0", true},
        {"/dev/ttyS", "/dev/ttyS0", true},
        {"/dev/ttyS0", "/dev/ttyS0", false},
        {"/dev/ttyS01", "/dev/ttyS1", false},  // same value: the shorter spelling first
        {"/dev/ttyS1", "/dev/ttyS01", true},
        {"/dev/ttyS99999999999999999999", "/dev/ttyS100000000000000000000", true},
        {"/dev/pts/3", "/dev/ttyS0", true},
        {"", "a", true},
        {"a", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(naturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

TEST(LinuxPorts, MergeKeepsLeadingFirstAndListsADeviceOnce) {
    const fs::path dir = fs::temp_directory_path() / ("tamlo-merge-" + std::to_string(getpid()));
    fs::create_directories(dir / "by-id");
    std::ofstream(dir / "ttyUSB0") << "";
    fs::create_symlink(dir / "ttyUSB0", dir / "by-id" / "usb-FTDI_adapter");
    const std::string usb0 = (dir / "ttyUSB0").string();
    const std::string byId = (dir / "by-id" / "usb-FTDI_adapter").string();

    const std::vector<std::string> merged = mergePortNames(
        {"/dev/pts/7"}, {"/dev/ttyS10", usb0, "/dev/ttyS2", "/dev/pts/7"}, {byId, "/dev/ttyS2"});
    // The named spelling wins over the discovered one for the same device.
    // Leading first whatever its name; the rest by name, the temp directory after /dev.
    const std::vector<std::string> expected = {"/dev/pts/7", "/dev/ttyS2", "/dev/ttyS10", byId};
    EXPECT_EQ(merged, expected);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tamlo
