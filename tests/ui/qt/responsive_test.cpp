// The window during a handler: what the status line says is on screen before the handler
// waits on the receiver again, the form is painted while the handler still runs, and the
// trace poll never runs inside a handler but once after it.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/configurator.h"
#include "message_catcher.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "sim/pty_server.h"
#include "sim/virtual_line.h"
#include "ui/control_table.h"
#include "ui/memory_window.h"
#include "ui/qt/close_on_signals.h"
#include "ui/qt/qt_window.h"

namespace tamlo {
namespace {

using testing::MessageCatcher;

// What the screen holds of the status line: the window's own backing store, which the
// offscreen platform grabs as the window system would show it.
QImage shownStatus(QtWindow& window) {
    QLabel* field = window.statusField();
    const QRect place(field->mapTo(window.mainWidget(), QPoint(0, 0)), field->size());
    return window.mainWidget()
        ->screen()
        ->grabWindow(window.mainWidget()->winId(), place.x(), place.y(), place.width(),
                     place.height())
        .toImage();
}

// Counts the paints a widget receives while a flag is set.
class PaintCounter final : public QObject {
  public:
    PaintCounter(QWidget* widget, const bool& during) : during_(during) {
        widget->installEventFilter(this);
    }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && during_) {
            ++count;
        }
        return false;
    }

  private:
    const bool& during_;
};

// The desktop program as tamlo-config builds it: the Qt window, the real clock serving the
// window in its pauses, the POSIX line and the simulated receiver on a pseudo-terminal.
struct RealTimeProgram {
    explicit RealTimeProgram(const std::string& version) : server(receiverOf(version)) {
        std::string error;
        started = server.start(error);
        options.leadingDevices = {server.devicePath()};
        options.discover = false;
        port = std::make_unique<PosixSerialPort>(options);
        lister = std::make_unique<LinuxPortLister>(options);
        configurator = std::make_unique<Configurator>(window, *port, *lister, clock);
        clock.setPauseService([this] {
            if (onPause) {
                onPause();
            }
            window.serveWhileBusy();
        });
        window.setEvents({
            .controlEvent =
                [this](int id) {
                    inHandler = true;
                    configurator->dispatch(id);
                    inHandler = false;
                },
            .traceTimer = [this] { configurator->onTraceTimer(); },
            .closeBox = [this] { configurator->onCloseBox(); },
        });
        configurator->startUp();
    }

    static sim::ReceiverSettings receiverOf(const std::string& version) {
        sim::ReceiverSettings settings;
        settings.version = version;
        settings.channelCode = {4000, 5250, 6500, 7120, 8000, 8990};
        settings.threshold = 45;
        return settings;
    }

    bool choosePort() {
        QTest::keyClick(qobject_cast<QComboBox*>(window.control(ids::PortList)), Qt::Key_Down);
        return port->isPortOpen();
    }

    MessageCatcher messages;
    sim::PtyServer server;
    bool started = false;
    PosixPortOptions options;
    QtWindow window;
    RealClock clock;
    std::unique_ptr<PosixSerialPort> port;
    std::unique_ptr<LinuxPortLister> lister;
    std::unique_ptr<Configurator> configurator;
    std::function<void()> onPause;
    bool inHandler = false;
};

TEST(QtWindowDuringAHandler, StatusTextIsOnScreenBeforeEachWaitAndTheFormIsPainted) {
    RealTimeProgram program("1.50");  // generation 1: the longest LOAD, 2.1 s
    ASSERT_TRUE(program.started);
    ASSERT_TRUE(program.choosePort());
    QApplication::processEvents();

    // The picture of each status text, drawn by a second window of the same program.
    QtWindow reference;
    reference.setEvents({});
    reference.openMainWindow();
    reference.createStatusBar();
    QApplication::processEvents();
    std::map<QString, QImage> pictures;
    auto pictureOf = [&](const QString& text) -> const QImage& {
        auto found = pictures.find(text);
        if (found == pictures.end()) {
            reference.setStatusText(toLatin1Text(text));
            reference.statusField()->repaint();
            found = pictures.emplace(text, shownStatus(reference)).first;
        }
        return found->second;
    };

    std::vector<QString> textsSeen;
    int waits = 0;
    int stale = 0;
    program.onPause = [&] {
        ++waits;
        const QString text = program.window.statusField()->text();
        if (textsSeen.empty() || textsSeen.back() != text) {
            textsSeen.push_back(text);
        }
        if (shownStatus(program.window) != pictureOf(text)) {
            ++stale;
        }
    };
    QWidget* channel1 = program.window.control(ids::ChannelField1);
    PaintCounter paints(channel1, program.inHandler);

    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(program.window.control(ids::LoadButton), Qt::LeftButton);
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_GE(took, std::chrono::milliseconds(2100));
    EXPECT_GT(waits, 100) << "the window is served throughout the pauses";
    ASSERT_EQ(textsSeen.size(), 2u);
    EXPECT_EQ(textsSeen[0], QStringLiteral("working"));
    EXPECT_TRUE(textsSeen[1].startsWith(QStringLiteral("TamloX, firmware version 1.5")))
        << textsSeen[1].toStdString();
    EXPECT_EQ(stale, 0) << "a wait began with the status line not yet painted";
    // The channels are filled before the poll's 200 ms wait, and painted during it.
    EXPECT_EQ(program.window.controlText(ids::ChannelField1), "134.000 MHz");
    EXPECT_GT(paints.count, 0);
    EXPECT_TRUE(program.messages.seen().empty());
}

// A clock in virtual time that lets a little real time pass in each pause and serves the
// window there, so that a short TraceTimer expires inside the handler.
class ServingClock final : public Clock {
  public:
    ServingClock(Clock& line, QtWindow& window) : line_(line), window_(window) {}
    void pauseMs(int32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        window_.serveWhileBusy();
        line_.pauseMs(ms);
    }

  private:
    Clock& line_;
    QtWindow& window_;
};

TEST(QtWindowDuringAHandler, TraceTimerExpiriesRunOnceAfterTheHandlerNeverInIt) {
    struct Case {
        int button;
        int ticksRightAfter;  // STORE stops the timer and starts it afresh: nothing held
    };
    const Case cases[] = {{ids::LoadButton, 1}, {ids::StoreButton, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        MessageCatcher messages;
        sim::ReceiverSettings receiver;
        receiver.version = "2.05";
        sim::VirtualLine line(receiver);
        QtWindow window;
        ServingClock clock(line, window);
        Configurator configurator(window, line, line, clock);
        bool inHandler = false;
        int ticks = 0;
        int ticksInHandler = 0;
        window.setEvents({
            .controlEvent =
                [&](int id) {
                    inHandler = true;
                    configurator.dispatch(id);
                    inHandler = false;
                },
            .traceTimer =
                [&] {
                    ++ticks;
                    ticksInHandler += inHandler ? 1 : 0;
                },
            .closeBox = {},
        });
        configurator.startUp();
        QTest::keyClick(qobject_cast<QComboBox*>(window.control(ids::PortList)), Qt::Key_Down);
        QTest::mouseClick(window.control(ids::LoadButton), Qt::LeftButton);  // a form to store
        QTest::mouseClick(window.control(ids::TraceCheck), Qt::LeftButton);
        ASSERT_TRUE(window.traceTimer()->isActive());
        window.traceTimer()->setInterval(5);  // many expiries in one handler
        ticks = 0;

        QTest::mouseClick(window.control(c.button), Qt::LeftButton);
        EXPECT_EQ(ticksInHandler, 0);
        EXPECT_EQ(ticks, c.ticksRightAfter);
        window.traceTimer()->stop();
        EXPECT_TRUE(messages.seen().empty());
    }
}

// The close box clicked, or a signal that ends the program, while a handler runs: the
// handler ends first (a STORE is never cut short), then the exit sequence releases the port.
TEST(QtWindowDuringAHandler, TheCloseBoxAndTheEndingSignalsWaitForTheHandler) {
    struct Case {
        const char* what;
        int handler;
        int signal;   // 0: the close box is clicked
        int atPause;  // about half-way: a STORE serves the window some 300 times; 0: once
                      // the handler's message box is open, with no port chosen
    };
    const Case cases[] = {
        {"close box during a LOAD", ids::LoadButton, 0, 20},
        {"SIGTERM during a STORE", ids::StoreButton, SIGTERM, 150},
        {"SIGHUP during a STORE", ids::StoreButton, SIGHUP, 150},
        {"SIGINT during a STORE", ids::StoreButton, SIGINT, 150},
        {"SIGTERM over a message box", ids::LoadButton, SIGTERM, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RealTimeProgram program("2.05");
        CloseOnSignals closeOnSignals(program.window);
        ASSERT_TRUE(program.started && closeOnSignals.installed());
        const bool overABox = c.atPause == 0;
        // Nobody answers the box in time: the signal must.
        program.messages.setHoldMs(5000);
        QTimer boxWatch;
        QObject::connect(&boxWatch, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != nullptr) {
                boxWatch.stop();
                std::raise(c.signal);
            }
        });
        if (overABox) {
            boxWatch.start(5);
        } else {
            ASSERT_TRUE(program.choosePort());
        }
        if (c.handler == ids::StoreButton) {
            QTest::mouseClick(program.window.control(ids::LoadButton), Qt::LeftButton);
            program.window.setControlText(ids::ChannelField1, "138.500 MHz");
            program.window.setControlText(3, "136.750 MHz");
            program.window.setControlText(ids::ThresholdField, "30");
        }
        std::vector<std::string> order;
        program.window.setEvents({
            .controlEvent =
                [&](int id) {
                    order.push_back("handler " + std::to_string(id));
                    program.configurator->dispatch(id);
                    order.push_back("handler done");
                },
            .traceTimer = {},
            .closeBox =
                [&] {
                    order.push_back("close box");
                    program.configurator->onCloseBox();
                },
        });
        int pauses = 0;
        program.onPause = [&] {
            if (++pauses != c.atPause) {
                return;
            }
            if (c.signal == 0) {
                EXPECT_FALSE(program.window.mainWidget()->close()) << "refused during the handler";
            } else {
                std::raise(c.signal);
            }
        };
        const auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(program.window.control(c.handler), Qt::LeftButton);
        if (overABox) {
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        } else {
            EXPECT_GT(pauses, c.atPause) << "the handler went on after the signal";
        }
        EXPECT_EQ(order, (std::vector<std::string>{"handler " + std::to_string(c.handler),
                                                   "handler done", "close box"}));
        EXPECT_TRUE(program.configurator->finished());
        EXPECT_FALSE(program.port->isPortOpen());
        EXPECT_FALSE(program.window.mainWidget()->isVisible());
        EXPECT_EQ(program.messages.seen().size(), overABox ? 1u : 0u);
        if (c.handler != ids::StoreButton) {
            continue;
        }
        // At once the port opens again (no exclusive flag left), and the receiver holds
        // every value of the STORE.
        PosixSerialPort again(program.options);
        MemoryWindow form;
        Configurator reader(form, again, *program.lister, program.clock);
        reader.startUp();
        ASSERT_TRUE(form.choosePortEntry(program.server.devicePath()));
        reader.dispatch(ids::PortList);
        ASSERT_TRUE(again.isPortOpen());
        reader.dispatch(ids::LoadButton);
        EXPECT_EQ(form.controlText(ids::ChannelField1), "138.500 MHz");
        EXPECT_EQ(form.controlText(3), "136.750 MHz");
        EXPECT_EQ(form.controlText(ids::ThresholdField), "30");
    }
}

TEST(QtWindow, FieldsAreNamedAfterTheirLabelsForScreenReaders) {
    RealTimeProgram program("2.05");
    ASSERT_TRUE(program.started);
    ASSERT_TRUE(program.choosePort());
    QTest::mouseClick(program.window.control(ids::LoadButton), Qt::LeftButton);
    const std::pair<int, const char*> cases[] = {
        {1, "Channel 1"}, {6, "Channel 6"}, {7, "Threshold"}, {8, "RSSI"}, {41, "Audio level"},
    };
    for (const auto& [id, name] : cases) {
        ASSERT_NE(program.window.control(id), nullptr) << id;
        EXPECT_EQ(program.window.control(id)->accessibleName(), QString::fromLatin1(name)) << id;
    }
}

TEST(QtWindow, CopyrightLineFitsTheStatusBar) {
    QtWindow window;
    window.openMainWindow();
    window.createStatusBar();
    window.setStatusText(kCopyrightLine);
    QLabel* field = window.statusField();
    EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()),
              field->contentsRect().width() - 2 * field->margin());
    EXPECT_LE(field->geometry().right(), kInnerWidth);
}

}  // namespace
}  // namespace tamlo
