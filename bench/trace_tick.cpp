// One tick of the signal trace, in microseconds: the work pollSignal does around its
// 200 ms wait for the receiver's answer, and renderTrace with the hand-over of the new
// picture to the window; on the in-memory window and on the Qt window (offscreen unless
// a display is chosen). Prints table rows; notes go to standard error. Fails on nothing.
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "figures.h"
#include "nominal_waits.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "sim/pty_server.h"
#include "trace/render.h"
#include "ui/memory_window.h"
#include "ui/qt/qt_window.h"

namespace {

using namespace tamlo;
using namespace tamlo::bench;
using SteadyClock = std::chrono::steady_clock;

constexpr double kTargetTickUs = 1000;
// The generation-3 receiver: the trace sits at its lowered place, as most users see it.
constexpr const char* kVersion = "2.05";

double microsecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count();
}

std::string microseconds(const Summary& s) {
    return format("median %.0f us, 99th %.0f us, worst %.0f us (%zu)", s.median, s.p99, s.worst,
                  s.count);
}

// A ring full of a signal that moves, so that every column of the curve is drawn.
SignalTrace movingTrace() {
    SignalTrace trace;
    for (int i = 0; i < 2 * SignalTrace::kRingLength; ++i) {
        trace.store(40 + (i * 7) % 50);
    }
    return trace;
}

// The configurator on the POSIX port and the real clock against the simulated receiver,
// read once and with Trace ticked, as it is between two ticks of TraceTimer.
class TracingSession {
  public:
    explicit TracingSession(Window& window)
        : server_(receiverSettings()), clock_(realClock_), window_(window) {}

    // chooseEntry selects the pseudo-terminal in the window's port list.
    bool start(const std::function<void(const std::string&)>& chooseEntry, std::string& error) {
        if (!server_.start(error)) {
            return false;
        }
        PosixPortOptions options;
        options.leadingDevices = {server_.devicePath()};
        options.discover = false;  // the machine's own ports play no part here
        port_ = std::make_unique<PosixSerialPort>(options);
        lister_ = std::make_unique<LinuxPortLister>(options);
        app_ = std::make_unique<Configurator>(window_, *port_, *lister_, clock_);
        app_->startUp();
        chooseEntry(server_.devicePath());
        app_->dispatch(ids::PortList);
        if (!port_->isPortOpen()) {
            error = "the simulated receiver's port did not open";
            return false;
        }
        app_->dispatch(ids::LoadButton);
        window_.setControlState(ids::TraceCheck, 1);
        app_->dispatch(ids::TraceCheck);
        return true;
    }

    // Runs ticks of TraceTimer back to back: the time spent awake in each (the wait itself
    // taken out) and the wall time beyond the nominal wait (the wait's own overshoot in).
    void tick(int count, std::vector<double>& awakeUs, std::vector<double>& beyondUs,
              const std::function<void()>& afterTick) {
        for (int i = 0; i < count; ++i) {
            clock_.reset();
            const auto start = SteadyClock::now();
            app_->onTraceTimer();
            const double wallUs = microsecondsSince(start);
            awakeUs.push_back(wallUs - static_cast<double>(clock_.sleptNs()) / 1000.0);
            beyondUs.push_back(wallUs - static_cast<double>(clock_.requestedMs()) * 1000.0);
            if (afterTick) {
                afterTick();
            }
        }
    }

  private:
    static sim::ReceiverSettings receiverSettings() {
        sim::ReceiverSettings settings;
        settings.version = kVersion;
        return settings;
    }

    sim::PtyServer server_;
    RealClock realClock_;
    RecordingClock clock_;
    Window& window_;
    // Made once the pseudo-terminal's name is known.
    std::unique_ptr<PosixSerialPort> port_;
    std::unique_ptr<LinuxPortLister> lister_;
    std::unique_ptr<Configurator> app_;
};

void printTickRows(const std::string& where, const std::vector<double>& awakeUs,
                   const std::vector<double>& beyondUs) {
    const Summary awake = summarize(awakeUs);
    const Summary beyond = summarize(beyondUs);
    printRow("Trace tick beyond its 200 ms wait, " + where,
             "awake " + microseconds(awake) +
                 format("; wall beyond 200 ms: median %.0f us, worst %.0f us", beyond.median,
                        beyond.worst),
             format("median <= %.0f us", kTargetTickUs),
             metText(awake.count > 0 && beyond.median <= kTargetTickUs));
}

void benchRender(const std::string& where, Window& window, int count,
                 const std::function<void()>& afterRender) {
    TraceImages images;
    drawTraceGrid(images, 45, 60);
    window.createTraceImage(*images.grid);
    SignalTrace trace = movingTrace();
    std::vector<double> renderUs;
    std::vector<double> repaintUs;
    for (int i = 0; i < count; ++i) {
        trace.store(40 + (i * 13) % 50);
        const auto start = SteadyClock::now();
        renderTrace(images, trace, 60);
        window.setTraceImage(*images.graph);
        renderUs.push_back(microsecondsSince(start));
        if (afterRender) {
            const auto paintStart = SteadyClock::now();
            afterRender();
            repaintUs.push_back(microsecondsSince(paintStart));
        }
    }
    printRow("renderTrace and hand-over, " + where, microseconds(summarize(renderUs)), "-", "-");
    if (!repaintUs.empty()) {
        printRow("Repaint after the hand-over, " + where, microseconds(summarize(repaintUs)), "-",
                 "-");
    }
}

void benchMemoryWindow(int ticks, int renders) {
    MemoryWindow window;
    TracingSession session(window);
    std::string error;
    if (!session.start([&](const std::string& name) { window.choosePortEntry(name); }, error)) {
        std::fprintf(stderr, "trace tick on the in-memory window not measured: %s\n",
                     error.c_str());
    } else {
        std::vector<double> awake;
        std::vector<double> beyond;
        session.tick(ticks, awake, beyond, nullptr);
        printTickRows("in-memory window", awake, beyond);
    }
    MemoryWindow renderWindow;
    renderWindow.openMainWindow();
    benchRender("in-memory window", renderWindow, renders, nullptr);
}

void benchQtWindow(int ticks, int renders) {
    // A message box would wait for a user who is not there; it is closed and noted.
    QTimer closeModal;
    QObject::connect(&closeModal, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            std::fprintf(stderr, "trace tick on the Qt window: a message box was shown\n");
            modal->close();
        }
    });
    closeModal.start(500);

    const std::string where = "Qt window (" + QApplication::platformName().toStdString() + ")";
    {
        QtWindow window;
        TracingSession session(window);
        std::string error;
        const auto choose = [&](const std::string& name) {
            if (auto* list = qobject_cast<QComboBox*>(window.control(ids::PortList))) {
                list->setCurrentIndex(list->findText(QString::fromStdString(name)));
            }
        };
        QApplication::processEvents();
        if (!session.start(choose, error)) {
            std::fprintf(stderr, "trace tick on the Qt window not measured: %s\n", error.c_str());
        } else {
            QApplication::processEvents();
            std::vector<double> awake;
            std::vector<double> beyond;
            // Between two ticks the event loop repaints; that is left out of the tick.
            session.tick(ticks, awake, beyond, [] { QApplication::processEvents(); });
            printTickRows(where, awake, beyond);
        }
    }
    QtWindow window;
    window.openMainWindow();
    window.setInnerHeight(kInnerHeightWithTrace);
    QApplication::processEvents();
    benchRender(where, window, renders, [&] {
        if (QWidget* image = window.control(ids::TraceImage)) {
            image->repaint();
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    int ticks = 25;
    if (argc > 1) {
        ticks = std::max(1, std::atoi(argv[1]));
    }
    constexpr int kRenders = 500;
    // Without a display of its own choosing the Qt window is drawn off screen.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The platform's remarks (no session bus, no size hints off screen) are not figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    benchMemoryWindow(ticks, kRenders);
    benchQtWindow(ticks, kRenders);
    return 0;
}
