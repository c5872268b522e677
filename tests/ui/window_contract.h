// What every Window does, whatever draws it: one suite, instantiated for the in-memory,
// Qt and native Windows windows. A backend is a small class that owns a window not yet
// opened and reads back what the platform shows:
//   Window& window();
//   int countAt(const ControlSpec& item);   // controls of item's kind (and id) at its place
//   std::optional<ControlKind> kindOf(int id);
//   std::optional<Rect> placeOf(int id);     // in MainWindow's inner area
//   std::vector<std::string> portEntries();  // PortList's entries, top to bottom
//   void choosePort(size_t index);           // the user picks that entry
//   std::string statusText();
//   Rect frame();                            // position on the screen and inner size
//   std::vector<uint8_t> shownImage();       // TraceImage's pixels, rows from the top, RGB
//   bool timerRunning();                     // TraceTimer ticks
//   std::vector<int> tabOrderFrom(int id);   // Tab stops from id on, once around
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trace/image.h"
#include "ui/control_table.h"
#include "ui/window.h"

namespace tamlo::testing {

// An image whose corners and lines differ, so that a flip or a swapped colour shows.
inline Image markedImage(uint8_t shade) {
    Image image;
    image.setPixel(0, 0, {255, 0, 0});
    image.setPixel(359, 0, {0, 255, 0});
    image.setPixel(0, 149, {0, 0, 255});
    image.setPixel(359, 149, {255, 255, 0});
    image.line(10, 0, 1, 150, {0, 192, 64});
    image.line(0, 75, 360, 1, {shade, shade, shade});
    return image;
}

template <typename Backend>
class WindowContract : public ::testing::Test {
  protected:
    Window& window() { return backend.window(); }

    // MainWindow with its status bar and the fixed controls, as at start-up.
    void open() {
        ASSERT_TRUE(window().openMainWindow());
        ASSERT_TRUE(window().createStatusBar());
        for (const ControlSpec& item : fixedControls()) {
            window().createControl(item);
        }
    }

    void createGeneration(int generation) {
        for (int id : {9, 38, 41, 42, 43}) {
            if (const ControlSpec* item = generationControl(id, generation)) {
                window().createControl(*item);
            }
        }
    }

    void expectAsInTable(const ControlSpec& item) {
        SCOPED_TRACE(std::string(item.name));
        EXPECT_TRUE(window().hasControl(item.id));
        EXPECT_EQ(backend.countAt(item), 1);
        EXPECT_EQ(backend.kindOf(item.id), item.kind);
        EXPECT_EQ(backend.placeOf(item.id), item.place);
        EXPECT_EQ(window().controlText(item.id), item.text);
    }

    Backend backend;
};

TYPED_TEST_SUITE_P(WindowContract);

TYPED_TEST_P(WindowContract, NothingIsMadeBeforeMainWindowIsOpen) {
    Window& window = this->window();
    EXPECT_FALSE(window.createStatusBar());
    window.createControl(fixedControls()[0]);
    EXPECT_FALSE(window.hasControl(fixedControls()[0].id));
    EXPECT_FALSE(window.setInnerHeight(kInnerHeightWithTrace));
}

TYPED_TEST_P(WindowContract, ControlsAreMadeFromTheTableWithPlaceKindAndText) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    for (const ControlSpec& item : fixedControls()) {
        this->expectAsInTable(item);
    }
    for (int id : {9, 38, 41, 42, 43, 50, 99}) {
        EXPECT_FALSE(this->window().hasControl(id)) << id;
    }
    for (int generation : {2, 3}) {
        SCOPED_TRACE(generation);
        this->createGeneration(generation);
        for (int id : {9, 38, 41, 42, 43}) {
            if (const ControlSpec* item = generationControl(id, generation)) {
                this->expectAsInTable(*item);
            }
        }
    }
}

TYPED_TEST_P(WindowContract, AControlMadeAgainReplacesItsPredecessor) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    Window& window = this->window();
    this->createGeneration(2);
    this->createGeneration(3);
    this->createGeneration(3);
    for (int id : {9, 38, 41, 42, 43}) {
        this->expectAsInTable(*generationControl(id, 3));
    }
    // Nothing of generation 2 is left behind at its old places.
    for (int id : {9, 38, 41, 42}) {
        EXPECT_EQ(this->backend.countAt(*generationControl(id, 2)), 0) << id;
    }
    // The new control starts afresh: the table's text, unchecked, an empty list.
    window.setControlText(1, "138.500 MHz");
    window.setControlState(ids::TraceCheck, 1);
    window.appendPortList("COM1");
    this->backend.choosePort(0);
    for (int id : {1, ids::TraceCheck, ids::PortList}) {
        window.createControl(*findControl(id));
        this->expectAsInTable(*findControl(id));
    }
    EXPECT_EQ(window.controlState(ids::TraceCheck), 0);
    EXPECT_TRUE(this->backend.portEntries().empty());
}

TYPED_TEST_P(WindowContract, TextsRoundTripByIdAsLatin1Bytes) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    Window& window = this->window();
    this->createGeneration(3);
    const struct {
        int id;
        std::string text;
    } cases[] = {
        {1, "138.500 MHz"},
        {7, "40"},
        {8, "-5"},
        {41, "31"},
        {2, ""},
        {3, "a\xE9z"},
        {8, "\xB5V"},
        {ids::ChannelLabel1, "K\xE4nal"},
        {20, "LOAD"},
        {42, " LNA \xFF"},
        {6, "\xA0\xBF\xC0"},
    };
    for (const auto& c : cases) {
        window.setControlText(c.id, c.text);
        EXPECT_EQ(window.controlText(c.id), c.text) << c.id;
    }
    // A control that does not exist reads as empty and takes nothing.
    window.setControlText(99, "x");
    EXPECT_FALSE(window.hasControl(99));
    EXPECT_EQ(window.controlText(99), "");
}

TYPED_TEST_P(WindowContract, CheckBoxStatesAreZeroOrOne) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    Window& window = this->window();
    this->createGeneration(3);
    EXPECT_EQ(window.controlState(ids::TraceCheck), 0);
    const struct {
        int id;
        int32_t set;
        int32_t expected;
    } cases[] = {
        {24, 1, 1},     {24, 0, 0},         {42, -7, 1},              // anything but 0 checks
        {43, 65536, 1}, {43, INT32_MIN, 1}, {43, 0, 0},  {20, 1, 0},  // a push button has no state
        {1, 1, 0},                                                    // nor has an edit field
        {99, 1, 0},  // nor a control that does not exist
    };
    for (const auto& c : cases) {
        window.setControlState(c.id, c.set);
        EXPECT_EQ(window.controlState(c.id), c.expected) << c.id << " set to " << c.set;
    }
}

TYPED_TEST_P(WindowContract, PortListKeepsItsEntriesInOrderAndTellsTheChosenOne) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    Window& window = this->window();
    for (const char* name : {"COM3", "COM10", "COM2"}) {
        window.appendPortList(name);
    }
    EXPECT_EQ(this->backend.portEntries(), (std::vector<std::string>{"COM3", "COM10", "COM2"}));
    EXPECT_EQ(window.controlText(ids::PortList), "") << "none is chosen by itself";
    this->backend.choosePort(2);
    EXPECT_EQ(window.controlText(ids::PortList), "COM2");
    window.appendPortList("/dev/ttyS\xE9");
    EXPECT_EQ(window.controlText(ids::PortList), "COM2") << "an entry added keeps the choice";
    this->backend.choosePort(3);
    EXPECT_EQ(window.controlText(ids::PortList), "/dev/ttyS\xE9");
    window.clearPortList();
    EXPECT_TRUE(this->backend.portEntries().empty());
    EXPECT_EQ(window.controlText(ids::PortList), "");
}

TYPED_TEST_P(WindowContract, StatusTextIsShownAsGiven) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    for (const char* text : {"TamloX, firmware version 2.10   05-Nov-24", "", "\xA9 \xB5"}) {
        this->window().setStatusText(text);
        EXPECT_EQ(this->backend.statusText(), text);
    }
}

TYPED_TEST_P(WindowContract, InnerHeightChangesKeepPositionAndWidth) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    const Rect before = this->backend.frame();
    EXPECT_EQ(before.width, kInnerWidth);
    EXPECT_EQ(before.height, kInnerHeight);
    for (int height : {kInnerHeightWithTrace, kInnerHeight, kInnerHeightWithTrace}) {
        ASSERT_TRUE(this->window().setInnerHeight(height));
        EXPECT_EQ(this->backend.frame(), (Rect{before.x, before.y, kInnerWidth, height}));
    }
}

TYPED_TEST_P(WindowContract, TraceImageShowsEachImageHandedToIt) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    Window& window = this->window();
    ASSERT_TRUE(window.setInnerHeight(kInnerHeightWithTrace));
    window.setTraceImage(markedImage(5));  // no TraceImage yet: nothing happens
    EXPECT_FALSE(window.hasControl(ids::TraceImage));
    for (uint8_t shade : {100, 200}) {
        SCOPED_TRACE(shade);
        // Made again when the window grows again: still one control.
        window.createTraceImage(markedImage(shade));
        EXPECT_EQ(this->backend.countAt(*findControl(ids::TraceImage)), 1);
        EXPECT_EQ(this->backend.kindOf(ids::TraceImage), ControlKind::ImageControl);
        EXPECT_EQ(this->backend.placeOf(ids::TraceImage), kTraceImagePlace);
        EXPECT_EQ(this->backend.shownImage(), markedImage(shade).rgb());
        const Image next = markedImage(static_cast<uint8_t>(shade + 1));
        window.setTraceImage(next);
        EXPECT_EQ(this->backend.shownImage(), next.rgb());
        EXPECT_EQ(this->backend.placeOf(ids::TraceImage), kTraceImagePlace);
    }
}

TYPED_TEST_P(WindowContract, TraceTimerStartsRestartsAndStops) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    Window& window = this->window();
    window.stopTraceTimer();  // stopping a stopped timer does nothing
    window.startTraceTimer();
    window.startTraceTimer();
    EXPECT_TRUE(this->backend.timerRunning());
    window.stopTraceTimer();
    EXPECT_FALSE(this->backend.timerRunning());
    window.stopTraceTimer();
    EXPECT_FALSE(this->backend.timerRunning());
}

TYPED_TEST_P(WindowContract, TabFollowsCreationOrderAndAControlMadeAgainComesLast) {
    ASSERT_NO_FATAL_FAILURE(this->open());
    this->createGeneration(3);
    EXPECT_EQ(this->backend.tabOrderFrom(1),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 20, 21, 22, 23, 24, 41, 42, 43}));
    // Labels and frames take no focus, wherever they come.
    this->window().createControl(*findControl(ids::ChannelLabel1));
    this->window().createControl(*findControl(ids::LoadButton));
    this->window().createControl(*findControl(ids::ThresholdField));
    EXPECT_EQ(this->backend.tabOrderFrom(1),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 21, 22, 23, 24, 41, 42, 43, 20, 7}));
}

REGISTER_TYPED_TEST_SUITE_P(WindowContract, NothingIsMadeBeforeMainWindowIsOpen,
                            ControlsAreMadeFromTheTableWithPlaceKindAndText,
                            AControlMadeAgainReplacesItsPredecessor,
                            TextsRoundTripByIdAsLatin1Bytes, CheckBoxStatesAreZeroOrOne,
                            PortListKeepsItsEntriesInOrderAndTellsTheChosenOne,
                            StatusTextIsShownAsGiven, InnerHeightChangesKeepPositionAndWidth,
                            TraceImageShowsEachImageHandedToIt, TraceTimerStartsRestartsAndStops,
                            TabFollowsCreationOrderAndAControlMadeAgainComesLast);

}  // namespace tamlo::testing
