// tamlo-config for Linux: the configurator in a Qt window, on a POSIX serial port and the
// real clock; optionally with the simulated receiver on a pseudo-terminal.
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "files/posix/posix_file_store.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "serial/logging_port.h"
#include "sim/pty_server.h"
#include "tamlo-config/command_line.h"
#include "tamlo-config/refused_ports.h"
#include "ui/qt/close_on_signals.h"
#include "ui/qt/qt_window.h"

#ifndef TAMLO_VERSION
#define TAMLO_VERSION "2.0"
#endif

namespace {

constexpr int kUsageError = 2;

int usageError(const std::string& problem) {
    std::cerr << tamlo::kProgramName << ": " << problem << "; try '" << tamlo::kProgramName
              << " --help'\n";
    return kUsageError;
}

// With --exit-when-shown the program prints the monotonic clock in nanoseconds when its
// window first paints, then ends: how the start-up benchmark sees it appear.
class FirstPaintProbe final : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            std::cout << "shown "
                      << std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()
                      << std::endl;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
};

// The port to release when something ends the program through exit() (Qt does when its
// display goes away): the stack is not unwound then, and a pseudo-terminal would keep our
// exclusive flag.
tamlo::PosixSerialPort* portAtExit = nullptr;

extern "C" void releasePortAtExit() {
    if (portAtExit != nullptr) {
        portAtExit->closePort();
    }
}

std::vector<std::string> argumentsOf(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return args;
}

int run(int argc, char** argv) {
    // --help, --version and a misspelt long option are answered before Qt looks for a
    // display; Qt's own options (-platform, -style ...) are left for QApplication.
    const tamlo::CommandLine early = tamlo::parseCommandLine(argumentsOf(argc, argv));
    if (early.help) {
        std::cout << tamlo::usageText();
        return 0;
    }
    if (early.version) {
        std::cout << tamlo::kProgramName << " " << TAMLO_VERSION << "\n" << tamlo::kLicenceNotice;
        return 0;
    }
    for (size_t i = 0; i < early.unknown.size(); ++i) {
        if (early.unknown[i].starts_with("--")) {
            return usageError(early.problems[i]);
        }
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tamlo::kProgramName));
    QApplication::setApplicationVersion(QStringLiteral(TAMLO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tamlo-config"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tamlo/tamlo-config.png")));

    const tamlo::CommandLine commandLine = tamlo::parseCommandLine(argumentsOf(argc, argv));
    if (!commandLine.problems.empty()) {
        return usageError(commandLine.problems.front());
    }

    tamlo::PosixPortOptions portOptions;
    portOptions.namedDevices = commandLine.devices;
    // The simulated receiver runs on its own thread for the whole session; its device is
    // the first entry of the port list.
    std::unique_ptr<tamlo::sim::PtyServer> simulator;
    if (commandLine.simulate) {
        tamlo::sim::ReceiverSettings receiver;
        receiver.version = commandLine.simulatedVersion;
        simulator = std::make_unique<tamlo::sim::PtyServer>(receiver);
        std::string error;
        if (!simulator->start(error)) {
            std::cerr << tamlo::kProgramName << ": the simulated receiver did not start: " << error
                      << "\n";
            return 1;
        }
        portOptions.leadingDevices.push_back(simulator->devicePath());
    }

    tamlo::PosixSerialPort devicePort(portOptions);
    portAtExit = &devicePort;
    std::atexit(releasePortAtExit);
    struct ForgetPortAtExit {
        ~ForgetPortAtExit() { portAtExit = nullptr; }
    } forgetPortAtExit;
    // --log: every byte through the port, for support cases.
    std::ofstream logFile;
    std::unique_ptr<tamlo::SerialLog> serialLog;
    std::unique_ptr<tamlo::LoggingSerialPort> loggingPort;
    if (!commandLine.logFile.empty()) {
        logFile.open(commandLine.logFile, std::ios::binary | std::ios::app);
        if (!logFile) {
            return usageError(commandLine.logFile + ": cannot be written");
        }
        serialLog = std::make_unique<tamlo::SerialLog>(logFile);
        loggingPort = std::make_unique<tamlo::LoggingSerialPort>(devicePort, *serialLog);
    }
    tamlo::SerialPort& port = loggingPort ? static_cast<tamlo::SerialPort&>(*loggingPort)
                                          : static_cast<tamlo::SerialPort&>(devicePort);
    tamlo::RealClock clock;
    tamlo::PosixFileStore files;
    tamlo::QtWindow window;
    // Before the first probe opens a port: from here on a signal ends the program through
    // its close box.
    tamlo::CloseOnSignals closeOnSignals(window);
    tamlo::LinuxPortLister lister(portOptions);
    tamlo::Configurator configurator(window, port, lister, clock);
    // While a handler waits on the receiver, the window paints and answers the desktop.
    clock.setPauseService([&] { window.serveWhileBusy(); });
    window.setEvents({
        .controlEvent =
            [&](int id) {
                configurator.dispatch(id);
                if (configurator.finished()) {
                    window.closeWindow();
                    QApplication::quit();
                }
            },
        .traceTimer = [&] { configurator.onTraceTimer(); },
        .closeBox = [&] { configurator.onCloseBox(); },
        .portListOpening = [&] { configurator.refreshPortList(); },
        .formCommand =
            [&](tamlo::FormCommand command) { configurator.onFormCommand(command, files); },
    });

    std::cerr << tamlo::refusedPortNotices(configurator.startUp(), commandLine.devices)
              << std::flush;
    if (window.mainWidget() == nullptr) {
        std::cerr << tamlo::kProgramName << ": the window could not be opened\n";
        return 1;
    }
    if (simulator) {
        // The simulated receiver is there to be tried: it is chosen, so LOAD works at once.
        window.setControlText(tamlo::ids::PortList, simulator->devicePath());
        configurator.dispatch(tamlo::ids::PortList);
    }
    FirstPaintProbe firstPaint;
    if (commandLine.exitWhenShown) {
        window.mainWidget()->installEventFilter(&firstPaint);
    }
    if (!configurator.finished()) {
        QApplication::exec();
    }
    port.closePort();
    if (simulator) {
        simulator->stop();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away (tamlo-config --exit-when-shown | head) is no reason to die
    // with the port open.
    std::signal(SIGPIPE, SIG_IGN);
    // Caught, an exception unwinds the stack, so the port's destructor releases it.
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << tamlo::kProgramName << ": " << error.what() << "\n";
    } catch (...) {
        std::cerr << tamlo::kProgramName << ": ended by an unexpected failure\n";
    }
    return 1;
}
