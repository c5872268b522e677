#include "ui/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "message_catcher.h"
#include "sim/virtual_line.h"
#include "trace/image.h"
#include "ui/control_table.h"
#include "ui/qt/qt_controls.h"
#include "window_contract.h"

namespace tamlo {
namespace {

using testing::MessageCatcher;

// The kind a widget shows itself as, read back from the widget alone.
std::optional<ControlKind> kindOf(QWidget* widget) {
    if (qobject_cast<QLineEdit*>(widget)) {
        return ControlKind::EditField;
    }
    if (qobject_cast<QPushButton*>(widget)) {
        return ControlKind::PushButton;
    }
    if (qobject_cast<QCheckBox*>(widget)) {
        return ControlKind::CheckBox;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->isEditable() ? std::nullopt : std::optional(ControlKind::DropDownList);
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (!label->pixmap().isNull()) {
            return ControlKind::ImageControl;
        }
        return label->frameShape() == QFrame::NoFrame ? ControlKind::Label
                                                      : ControlKind::BorderedLabel;
    }
    return std::nullopt;
}

// Typing as a keyboard layout would: one key event a character, carrying its text.
void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

QRect toQRect(const Rect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

std::string textOf(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text().toStdString();
    }
    return {};
}

// The Qt window against the contract every window keeps, read back from its widgets.
class QtBackend {
  public:
    Window& window() { return window_; }

    int countAt(const ControlSpec& item) const {
        int count = 0;
        if (QWidget* main = window_.mainWidget()) {
            for (QWidget* child : main->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                count +=
                    child->geometry() == toQRect(item.place) && tamlo::kindOf(child) == item.kind;
            }
        }
        return count;
    }
    std::optional<ControlKind> kindOf(int id) const {
        QWidget* widget = window_.control(id);
        return widget == nullptr ? std::nullopt : tamlo::kindOf(widget);
    }
    std::optional<Rect> placeOf(int id) const {
        QWidget* widget = window_.control(id);
        if (widget == nullptr) {
            return std::nullopt;
        }
        const QRect r = widget->geometry();
        return Rect{r.x(), r.y(), r.width(), r.height()};
    }
    std::vector<std::string> portEntries() const {
        std::vector<std::string> entries;
        if (auto* combo = qobject_cast<QComboBox*>(window_.control(ids::PortList))) {
            for (int i = 0; i < combo->count(); ++i) {
                entries.push_back(toLatin1Text(combo->itemText(i)));
            }
        }
        return entries;
    }
    void choosePort(size_t index) {
        qobject_cast<QComboBox*>(window_.control(ids::PortList))
            ->setCurrentIndex(static_cast<int>(index));
    }
    std::string statusText() const { return toLatin1Text(window_.statusField()->text()); }
    Rect frame() const {
        QWidget* main = window_.mainWidget();
        return {main->x(), main->y(), main->width(), main->height()};
    }
    std::vector<uint8_t> shownImage() const {
        auto* label = qobject_cast<QLabel*>(window_.control(ids::TraceImage));
        if (label == nullptr) {
            return {};
        }
        const QImage shown = label->pixmap().toImage().convertToFormat(QImage::Format_RGB888);
        std::vector<uint8_t> rgb;
        for (int y = 0; y < shown.height(); ++y) {
            const uchar* row = shown.constScanLine(y);
            rgb.insert(rgb.end(), row, row + 3 * shown.width());
        }
        return rgb;
    }
    bool timerRunning() const { return window_.traceTimer()->isActive(); }
    // Along the widgets' focus chain, as Tab moves.
    std::vector<int> tabOrderFrom(int id) const {
        std::map<QWidget*, int> ids;
        for (int created : window_.creationOrder()) {
            ids[window_.control(created)] = created;
        }
        std::vector<int> stops;
        QWidget* start = window_.control(id);
        QWidget* widget = start;
        do {
            const auto found = ids.find(widget);
            if (found != ids.end() && (widget->focusPolicy() & Qt::TabFocus) != 0) {
                stops.push_back(found->second);
            }
            widget = widget->nextInFocusChain();
        } while (widget != start && stops.size() <= ids.size());
        return stops;
    }

  private:
    QtWindow window_;
};

// The desktop program in one object: the Qt window and the configurator on a simulated
// receiver in virtual time, with every event the window raises counted.
struct Program {
    explicit Program(const std::string& version = "2.05") : line(receiverOf(version)) {
        window.setEvents({
            .controlEvent =
                [this](int id) {
                    dispatched.push_back(id);
                    stateAtDispatch.push_back(window.controlState(id));
                    configurator.dispatch(id);
                },
            .traceTimer =
                [this] {
                    ++ticks;
                    configurator.onTraceTimer();
                },
            .closeBox =
                [this] {
                    ++closeBoxes;
                    configurator.onCloseBox();
                },
            .portListOpening = [this] { configurator.refreshPortList(); },
        });
        configurator.startUp();
    }

    // The values the form is checked against, on the 10 kHz grid of the channel codes.
    static sim::ReceiverSettings receiverOf(const std::string& version) {
        sim::ReceiverSettings settings;
        settings.version = version;
        settings.channelCode = {4000, 5250, 6500, 7120, 8000, 8990};
        settings.threshold = 45;
        settings.audioLevel = 7;
        settings.rssi = 40;
        settings.lna = true;
        settings.diversity = false;
        return settings;
    }

    QWidget* main() { return window.mainWidget(); }
    QWidget* widget(int id) { return window.control(id); }
    QComboBox* portList() { return qobject_cast<QComboBox*>(widget(ids::PortList)); }

    void click(int id) { QTest::mouseClick(widget(id), Qt::LeftButton); }
    // The user picks the next entry with the keyboard, as with the mouse a change of entry.
    void chooseNextPort() { QTest::keyClick(portList(), Qt::Key_Down); }

    int traceImages() {
        int count = 0;
        for (QLabel* label : main()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (!label->pixmap().isNull()) {
                ++count;
            }
        }
        return count;
    }

    MessageCatcher messages;
    sim::VirtualLine line;
    QtWindow window;
    Configurator configurator{window, line, line, line};
    std::vector<int> dispatched;
    std::vector<int32_t> stateAtDispatch;
    int ticks = 0;
    int closeBoxes = 0;
};

void expectControlAsInTable(Program& program, const ControlSpec& entry, bool checkText) {
    SCOPED_TRACE(std::string(entry.name));
    QWidget* widget = program.widget(entry.id);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(kindOf(widget), entry.kind);
    EXPECT_EQ(widget->geometry(), toQRect(entry.place));
    EXPECT_TRUE(widget->isVisible());
    if (checkText) {
        EXPECT_EQ(textOf(widget), std::string(entry.text));
    }
}

TEST(QtWindow, MainWindowHasItsTitleSizePlaceAndDecorations) {
    Program program;
    QWidget* main = program.main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->windowTitle(), QString::fromLatin1(kWindowTitle));
    EXPECT_EQ(main->size(), QSize(kInnerWidth, kInnerHeight));
    // Not resizable, no maximise box, but a minimise box and a close box.
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(main->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(main->backgroundRole(), QPalette::Button);
    EXPECT_EQ(main->font(), QApplication::font());
    // Centred on the screen.
    const QRect screen = main->screen()->geometry();
    const QPoint centre = main->frameGeometry().center();
    EXPECT_LE(std::abs(centre.x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(centre.y() - screen.center().y()), 1);
}

TEST(QtWindow, StartUpCreatesEveryFixedControlAsInTheTable) {
    Program program;
    for (const ControlSpec& entry : fixedControls()) {
        expectControlAsInTable(program, entry, true);
    }
    EXPECT_EQ(program.window.controlState(ids::TraceCheck), 0);
    // The simulated line offers one port; nothing is chosen until the user picks it.
    ASSERT_EQ(program.portList()->count(), 1);
    EXPECT_EQ(program.portList()->currentIndex(), -1);
    EXPECT_EQ(program.window.controlText(ids::PortList), "");
    for (int id : {9, 38, 41, 42, 43, 50}) {
        EXPECT_FALSE(program.window.hasControl(id)) << id;
    }
    EXPECT_TRUE(program.dispatched.empty());
}

// Every text of every generation's controls, the widest content of each field and the
// status bar's widest texts, measured in the controls themselves with their own font and
// style: at the system's font and at larger ones (and, run again, at twice the scale).
TEST(QtWindow, EveryShownTextFitsItsControl) {
    const QFont system = QApplication::font();
    for (const QFont& font : {system, QFont(QStringLiteral("DejaVu Sans"), 11),
                              QFont(QStringLiteral("DejaVu Serif"), 14)}) {
        SCOPED_TRACE(font.toString().toStdString());
        QApplication::setFont(font);
        Program program;
        for (const ShownText& shown : shownTexts()) {
            SCOPED_TRACE(std::string(shown.control.name) + " '" + std::string(shown.text) + "'");
            QWidget* widget = program.window.statusField();
            if (shown.control.id == ids::StatusBar) {
                program.window.setStatusText(shown.text);
            } else {
                program.window.createControl(shown.control);
                program.window.setControlText(shown.control.id, shown.text);
                widget = program.widget(shown.control.id);
            }
            const QFontMetrics metrics(widget->font());
            EXPECT_LE(metrics.horizontalAdvance(fromLatin1Text(shown.text)),
                      textRoom(widget).width());
            EXPECT_LE(metrics.height(), textRoom(widget).height());
        }
    }
    QApplication::setFont(system);
}

TEST(QtWindow, StatusBarLiesAlongTheBottomAtBothHeights) {
    Program program;
    program.chooseNextPort();
    QStatusBar* bar = program.window.statusBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(program.window.statusField()->text(), QString::fromLatin1(kCopyrightLine));
    EXPECT_TRUE(program.window.statusField()->alignment() & Qt::AlignLeft);
    for (int click = 0; click < 3; ++click) {
        SCOPED_TRACE(click);
        EXPECT_EQ(bar->geometry().bottom(), program.main()->height() - 1);
        EXPECT_EQ(bar->geometry().left(), 0);
        EXPECT_EQ(bar->width(), kInnerWidth);
        EXPECT_GE(program.window.statusField()->height(), kStatusBarMinTextHeight);
        program.click(ids::TraceCheck);
    }
}

struct Generation {
    const char* version;
    int generation;
};

void PrintTo(const Generation& g, std::ostream* out) {
    *out << "firmware " << g.version;
}

class QtWindowLoad : public ::testing::TestWithParam<Generation> {};

TEST_P(QtWindowLoad, LoadFillsTheFormAndMakesTheGenerationControls) {
    const Generation g = GetParam();
    Program program(g.version);
    program.chooseNextPort();
    ASSERT_TRUE(program.line.isPortOpen());
    // Twice: the second LOAD re-creates the controls of the first in place.
    for (int load = 0; load < 2; ++load) {
        SCOPED_TRACE(load);
        program.click(ids::LoadButton);
        EXPECT_TRUE(program.messages.seen().empty());
        for (const ControlSpec& entry : fixedControls()) {
            expectControlAsInTable(
                program, entry,
                entry.kind != ControlKind::EditField && entry.kind != ControlKind::BorderedLabel);
        }
        const char* channels[] = {"134.000 MHz", "135.250 MHz", "136.500 MHz",
                                  "137.120 MHz", "138.000 MHz", "138.990 MHz"};
        for (int n = 1; n <= 6; ++n) {
            EXPECT_EQ(program.window.controlText(n), channels[n - 1]) << n;
        }
        EXPECT_EQ(program.window.controlText(ids::ThresholdField), "45");
        EXPECT_EQ(program.window.controlText(ids::RssiDisplay), "40");
        for (int id : {9, 38, 41, 42, 43}) {
            const ControlSpec* entry = generationControl(id, g.generation);
            if (entry == nullptr) {
                EXPECT_FALSE(program.window.hasControl(id)) << id;
                continue;
            }
            expectControlAsInTable(program, *entry, id != ids::AudioLevelField);
        }
        if (g.generation >= 2) {
            EXPECT_EQ(program.window.controlText(ids::AudioLevelField), "7");
            // The field, not its frame, takes the clicks at their shared place.
            const QPoint inside = toQRect(generationControl(9, g.generation)->place).center();
            QWidget* hit = program.main()->childAt(inside);
            EXPECT_TRUE(
                hit == program.widget(ids::AudioLevelField) ||
                (hit != nullptr && hit->parentWidget() == program.widget(ids::AudioLevelField)));
        }
        if (g.generation == 3) {
            EXPECT_EQ(program.window.controlState(ids::DiversityOrLnaCheck), 1);  // LNA on
            EXPECT_EQ(program.window.controlState(ids::DiversityCheck3), 0);
        }
        EXPECT_EQ(program.window.statusField()->text().left(25),
                  QStringLiteral("TamloX, firmware version "));
    }
}

INSTANTIATE_TEST_SUITE_P(EachGeneration, QtWindowLoad,
                         ::testing::Values(Generation{"1.80", 1}, Generation{"1.95", 2},
                                           Generation{"2.05", 3}),
                         [](const ::testing::TestParamInfo<Generation>& info) {
                             return "Generation" + std::to_string(info.param.generation);
                         });

TEST(QtWindow, LoadOfGenerationThreeMovesTheControlsOfGenerationTwo) {
    Program program("1.95");
    program.chooseNextPort();
    program.click(ids::LoadButton);
    program.line.receiver().settings().version = "2.05";
    program.click(ids::LoadButton);
    for (int id : {9, 38, 41, 42, 43}) {
        expectControlAsInTable(program, *generationControl(id, 3), id != ids::AudioLevelField);
    }
    // The generation-2 controls are gone, not left behind at their old places.
    for (int id : {9, 38, 41, 42}) {
        const QRect old = toQRect(generationControl(id, 2)->place);
        for (QWidget* child : program.main()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_NE(child->geometry(), old) << id;
        }
    }
}

TEST(QtWindow, TabAndShiftTabFollowCreationOrderAndWrap) {
    Program program("2.05");
    program.chooseNextPort();
    program.click(ids::LoadButton);
    QWidget* main = program.main();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    const std::vector<int> order = {1, 2, 3, 4, 5, 6, 7, 20, 21, 22, 23, 24, 41, 42, 43};
    program.widget(order.front())->setFocus(Qt::OtherFocusReason);
    for (size_t i = 1; i <= order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), program.widget(order[i % order.size()]))
            << "after " << order[i - 1];
    }
    for (size_t i = order.size(); i > 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), program.widget(order[i - 1]))
            << "back from " << order[i % order.size()];
    }
}

TEST(QtWindow, TraceGrowsShrinksAndGrowsWithOneTraceImage) {
    Program program;
    program.chooseNextPort();
    const QPoint place = program.main()->pos();
    const int heights[] = {kInnerHeightWithTrace, kInnerHeight, kInnerHeightWithTrace};
    for (int expected : heights) {
        program.click(ids::TraceCheck);
        EXPECT_EQ(program.main()->height(), expected);
        EXPECT_EQ(program.main()->width(), kInnerWidth);
        EXPECT_EQ(program.main()->pos(), place);
        EXPECT_EQ(program.traceImages(), 1);
    }
    QWidget* image = program.widget(ids::TraceImage);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), toQRect(kTraceImagePlace));
    EXPECT_EQ(kindOf(image), ControlKind::ImageControl);
    EXPECT_TRUE(program.window.traceTimer()->isActive());
    EXPECT_TRUE(program.messages.seen().empty());
}

TEST(QtWindow, TraceCheckWithoutPortKeepsTheHeightAndShowsTheMessage) {
    Program program;
    program.click(ids::TraceCheck);
    EXPECT_EQ(program.main()->height(), kInnerHeight);
    EXPECT_EQ(program.window.controlState(ids::TraceCheck), 1);
    ASSERT_EQ(program.messages.seen().size(), 1u);
    const testing::SeenMessage& box = program.messages.seen().front();
    EXPECT_EQ(box.title, QStringLiteral("Message"));
    EXPECT_EQ(box.text, QStringLiteral("Select COM Port"));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttonCount, 1);
    EXPECT_TRUE(box.okButton);
    EXPECT_EQ(box.parent, program.main());
    EXPECT_TRUE(box.modal);
}

TEST(QtWindow, MessageTextsAreShownAsTheyAre) {
    Program program;
    // Markup and a Latin-1 letter from the receiver must arrive as plain characters.
    program.window.showMessage("Message", "<b>\xe9</b>");
    ASSERT_EQ(program.messages.seen().size(), 1u);
    EXPECT_EQ(program.messages.seen().front().text, QString::fromUtf8("<b>\xc3\xa9</b>"));
}

TEST(QtWindow, TraceTimerTicksWhileTheMessageIsOpen) {
    Program program;
    program.messages.setHoldMs(1300);
    program.window.startTraceTimer();
    program.window.showMessage("Message", "Communication Error");
    EXPECT_GE(program.ticks, 1);
    program.window.stopTraceTimer();
}

TEST(QtWindow, StartingTheTraceTimerAgainRestartsItsPeriod) {
    Program program;
    QTimer* timer = program.window.traceTimer();
    program.window.startTraceTimer();
    EXPECT_EQ(timer->interval(), kTraceTimerPeriodMs);
    QTest::qWait(400);
    program.window.startTraceTimer();
    EXPECT_GT(timer->remainingTime(), 700);
    program.window.stopTraceTimer();
}

TEST(QtWindow, CloseBoxRunsTheExitSequenceOnce) {
    Program program;
    program.chooseNextPort();
    ASSERT_TRUE(program.line.isPortOpen());
    program.window.startTraceTimer();
    EXPECT_TRUE(program.main()->close());
    EXPECT_EQ(program.closeBoxes, 1);
    EXPECT_TRUE(program.configurator.finished());
    EXPECT_FALSE(program.line.isPortOpen());
    EXPECT_FALSE(program.window.traceTimer()->isActive());
    EXPECT_FALSE(program.main()->isVisible());
    program.window.closeWindow();
    EXPECT_EQ(program.closeBoxes, 1);
}

TEST(QtWindow, QuitClosesTheWindowWithoutTheCloseBoxHandler) {
    Program program;
    program.chooseNextPort();
    program.click(ids::TraceCheck);
    program.click(ids::QuitButton);
    EXPECT_EQ(program.closeBoxes, 0);
    EXPECT_TRUE(program.configurator.finished());
    EXPECT_FALSE(program.main()->isVisible());
    EXPECT_FALSE(program.line.isPortOpen());
    EXPECT_FALSE(program.window.traceTimer()->isActive());
    EXPECT_TRUE(program.messages.seen().empty());
}

TEST(QtWindow, EachUserEventDispatchesItsIdOnce) {
    Program program("1.80");
    struct Case {
        const char* what;
        std::function<void(Program&)> act;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"choose a port", [](Program& p) { p.chooseNextPort(); }, {23}},
        {"arrow up at the first entry moves nothing",
         [](Program& p) { QTest::keyClick(p.portList(), Qt::Key_Up); },
         {}},
        {"the program refills the list",
         [](Program& p) {
             p.window.clearPortList();
             p.window.appendPortList("/dev/ttyS0");
             p.window.appendPortList("/dev/ttyS1");
         },
         {}},
        {"press LOAD", [](Program& p) { p.click(ids::LoadButton); }, {20}},
        {"press STORE", [](Program& p) { p.click(ids::StoreButton); }, {21}},
        {"click Trace", [](Program& p) { p.click(ids::TraceCheck); }, {24}},
        {"space on the focused Trace box",
         [](Program& p) { QTest::keyClick(p.widget(ids::TraceCheck), Qt::Key_Space); },
         {24}},
        {"type into a channel field",
         [](Program& p) { QTest::keyClicks(p.widget(1), QStringLiteral("138.5")); },
         {}},
        {"click a label and the RSSI display",
         [](Program& p) {
             QTest::mouseClick(p.widget(ids::ChannelLabel1), Qt::LeftButton);
             QTest::mouseClick(p.widget(ids::RssiDisplay), Qt::LeftButton);
         },
         {}},
        {"the program sets a check box", [](Program& p) { p.window.setControlState(24, 0); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        program.dispatched.clear();
        c.act(program);
        EXPECT_EQ(program.dispatched, c.expected);
    }
}

TEST(QtWindow, TraceCheckIsToggledBeforeItsEventIsHandled) {
    Program program;
    program.click(ids::TraceCheck);
    program.click(ids::TraceCheck);
    EXPECT_EQ(program.stateAtDispatch, (std::vector<int32_t>{1, 0}));
}

TEST(QtWindow, AButtonMadeAgainRaisesItsEventOnce) {
    Program program;
    const ControlSpec* load = findControl(ids::LoadButton);
    program.window.createControl(*load);
    program.window.createControl(*load);
    program.click(ids::LoadButton);
    EXPECT_EQ(program.dispatched, (std::vector<int>{20}));
}

TEST(QtWindow, AHandlerMayReplaceTheControlThatRaisedItsEvent) {
    Program program;
    int events = 0;
    program.window.setEvents({.controlEvent =
                                  [&](int id) {
                                      ++events;
                                      program.window.createControl(*findControl(id));
                                  },
                              .traceTimer = {},
                              .closeBox = {}});
    program.click(ids::StoreButton);
    QApplication::processEvents();
    program.click(ids::StoreButton);
    QApplication::processEvents();
    EXPECT_EQ(events, 2);
}

TEST(QtWindow, FrameCreatedAfterItsFieldStaysBehindIt) {
    Program program;
    program.window.createControl(*generationControl(ids::AudioLevelField, 3));
    program.window.createControl(*generationControl(ids::AudioLevelFrame, 3));
    const QPoint inside = toQRect(generationControl(ids::AudioLevelFrame, 3)->place).center();
    QWidget* hit = program.main()->childAt(inside);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == program.widget(ids::AudioLevelField) ||
                hit->parentWidget() == program.widget(ids::AudioLevelField));
}

TEST(QtWindow, TextsPassAsLatin1) {
    Program program;
    struct Case {
        QString typed;
        std::string read;
    };
    const Case cases[] = {
        {QStringLiteral("138.500 MHz"), "138.500 MHz"},
        {QString::fromUtf8("\xc3\xa9t\xc3\xa9"), "\xe9t\xe9"},  // within Latin-1: kept
        {QString::fromUtf8("5\xe2\x82\xac"), "5?"},             // the euro sign is not
        {QString::fromUtf8("\xe4\xb8\xad"), "?"},
    };
    for (const Case& c : cases) {
        auto* edit = qobject_cast<QLineEdit*>(program.widget(1));
        edit->clear();
        typeText(edit, c.typed);
        EXPECT_EQ(program.window.controlText(1), c.read);
    }
    program.window.setControlText(ids::RssiDisplay, "\xb5V");
    EXPECT_EQ(qobject_cast<QLabel*>(program.widget(ids::RssiDisplay))->text(),
              QString::fromUtf8("\xc2\xb5V"));
}

// An adapter plugged in after start-up is listed when the user opens the list; the chosen
// port stays chosen and open. A long name opens whole and names itself as a tooltip.
TEST(QtWindow, OpeningPortListBringsItUpToDateAndShowsLongNamesWhole) {
    Program program;
    program.chooseNextPort();
    const std::string adapter =
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0-with-a-long-tail";
    program.line.setPorts({"COM1", adapter});
    QComboBox* combo = program.portList();
    combo->showPopup();
    EXPECT_EQ(program.window.controlText(ids::PortList), "COM1");
    EXPECT_TRUE(program.line.isPortOpen());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(toLatin1Text(combo->itemText(1)), adapter);
    EXPECT_EQ(toLatin1Text(combo->itemData(1, Qt::ToolTipRole).toString()), adapter);
    EXPECT_GE(combo->view()->width(),
              combo->view()->fontMetrics().horizontalAdvance(combo->itemText(1)));
    combo->hidePopup();
    EXPECT_EQ(program.dispatched, (std::vector<int>{ids::PortList}));
    // Chosen beside an adapter of the same make, the closed box shows their difference.
    combo->addItem(
        QString::fromLatin1(adapter).replace(QStringLiteral("1234"), QStringLiteral("5678")));
    program.window.setControlText(ids::PortList, adapter);
    auto* box = dynamic_cast<PortListBox*>(combo);
    EXPECT_TRUE(box->closedText(box->labelRoom().width()).contains(QStringLiteral("1234")));
}

// Ctrl+S and Ctrl+O are the form's commands; the file comes from Qt's own dialog, and its
// path reaches the program as the system spells it, also outside Latin-1.
TEST(QtWindow, CtrlSAndCtrlOChooseAFileInTheDialog) {
    Program program;
    std::vector<FormCommand> commands;
    program.window.setEvents(
        {.controlEvent = {}, .traceTimer = {}, .closeBox = {}, .formCommand = [&](FormCommand c) {
             commands.push_back(c);
         }});
    program.main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(program.main()));
    QTest::keyClick(program.widget(1), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(program.widget(1), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(commands,
              (std::vector<FormCommand>{FormCommand::SaveSettings, FormCommand::OpenSettings}));

    const QString folder = QDir::temp().filePath(QString::fromUtf8("tamlo-\xd0\xb4"));
    QDir().mkpath(folder);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(folder + QStringLiteral("/rx"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const ChosenFile chosen = program.window.chooseSettingsFile(FileDialog::Save);
    EXPECT_EQ(chosen.path, QFile::encodeName(folder + QStringLiteral("/rx.toml")).toStdString());
    EXPECT_EQ(chosen.name, "rx.toml");
    QDir(folder).removeRecursively();
}

TEST(QtWindow, PortListOpensAboutThreeHundredThirtyPixelsWithAScrollBar) {
    Program program;
    program.window.clearPortList();
    for (int n = 0; n < 40; ++n) {
        program.window.appendPortList("/dev/ttyUSB" + std::to_string(n));
    }
    EXPECT_EQ(program.portList()->currentIndex(), -1);
    QComboBox* combo = program.portList();
    combo->showPopup();
    QWidget* popup = combo->view()->window();
    EXPECT_GE(popup->height(), 290);
    EXPECT_LE(popup->height(), kPortListOpenHeight - 20 + 10);
    EXPECT_TRUE(combo->view()->verticalScrollBar()->isVisible());
    combo->hidePopup();
    EXPECT_TRUE(program.dispatched.empty());
}

}  // namespace

namespace testing {
INSTANTIATE_TYPED_TEST_SUITE_P(QtWindow, WindowContract, QtBackend);
}  // namespace testing

}  // namespace tamlo
