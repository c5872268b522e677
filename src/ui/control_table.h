// Every control of MainWindow as plain data: id, name, kind, place and text. The
// geometry and texts live only here; a window backend materialises them.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace tamlo {

enum class ControlKind {
    EditField,      // single line, sunken border, scrolls horizontally, takes focus
    Label,          // left-aligned text, no border, no focus
    BorderedLabel,  // a label with a sunken border; text set by the program only
    PushButton,     // takes focus; a click raises a control event
    DropDownList,   // choose-only list with a vertical scroll bar; a change raises an event
    CheckBox,       // toggles itself on click; a click raises an event
    ImageControl,   // shows an image and takes its size
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct ControlSpec {
    int id = 0;
    std::string_view name;
    ControlKind kind = ControlKind::Label;
    Rect place;
    std::string_view text;
};

namespace ids {
inline constexpr int ChannelField1 = 1;  // ChannelField n is id n, n = 1..6
inline constexpr int ThresholdField = 7;
inline constexpr int RssiDisplay = 8;
inline constexpr int AudioLevelFrame = 9;
inline constexpr int LoadButton = 20;
inline constexpr int StoreButton = 21;
inline constexpr int QuitButton = 22;
inline constexpr int PortList = 23;
inline constexpr int TraceCheck = 24;
inline constexpr int ChannelLabel1 = 30;  // ChannelLabel n is id 29 + n
inline constexpr int ThresholdLabel = 36;
inline constexpr int RssiLabel = 37;
inline constexpr int AudioLevelLabel = 38;
inline constexpr int StatusBar = 40;
inline constexpr int AudioLevelField = 41;
// " Diversity" in generation 2, " LNA supply" in generation 3.
inline constexpr int DiversityOrLnaCheck = 42;
// " Diversity" in generation 3 only.
inline constexpr int DiversityCheck3 = 43;
inline constexpr int TraceImage = 50;
}  // namespace ids

inline constexpr std::string_view kWindowTitle = "Tamlo Configurator V2.0";
// Short enough for the 400-pixel status bar in the desktop's default font; the program's
// name stands in the title bar above it.
inline constexpr std::string_view kCopyrightLine =
    "V2.0 - (c) 2026 the Tamlo configurator developers";
inline constexpr std::string_view kMessageCaption = "Message";
inline constexpr int kInnerWidth = 400;
inline constexpr int kInnerHeight = 280;
inline constexpr int kInnerHeightWithTrace = 450;
// The drop-down list together with its opened list.
inline constexpr int kPortListOpenHeight = 350;
inline constexpr int kStatusBarMinTextHeight = 18;
inline constexpr Rect kTraceImagePlace{20, 280, 360, 150};

// The fixed controls in creation order (which is also the Tab order).
std::span<const ControlSpec> fixedControls();

// The firmware-dependent controls (ids 9, 38, 41, 42, 43) at their place for generation
// 2 or 3; nullptr where the generation has no such control.
const ControlSpec* generationControl(int id, int generation);

// What a settings read of a generation puts on the form, and which check box is which.
struct GenerationForm {
    int generation = 1;
    std::span<const ControlSpec> controls;  // in creation order
    int diversityCheck = 0;                 // id of " Diversity", 0 when none
    int lnaCheck = 0;                       // id of " LNA supply", 0 when none
};
// The form of generation 1 (no controls) for a generation the table does not know.
const GenerationForm& generationForm(int generation);

// A text that a control must show whole: its own text from the table, or the widest
// content the program puts into it ("138.990 MHz" in a channel field).
struct ShownText {
    ControlSpec control;
    std::string_view text;
};
// The status bar as a place to measure its texts in: the full width along the bottom edge.
inline constexpr ControlSpec kStatusBarSpec{
    ids::StatusBar,
    "StatusBar",
    ControlKind::Label,
    {0, kInnerHeight - kStatusBarMinTextHeight - 2, kInnerWidth, kStatusBarMinTextHeight + 2},
    ""};
// Every text of every control of every generation, and the widest texts of the status bar,
// which a window's font must fit.
std::vector<ShownText> shownTexts();

// Any control of the table by id: fixed, or as the newest generation places it.
const ControlSpec* findControl(int id);

// The text of the label that names a field or display ("Channel 1", "Threshold", "RSSI",
// "Audio level"), for screen readers: the labels are created after their fields, so a
// reader that names a field by the label before it would name it wrongly. "" for any
// other control.
std::string_view accessibleName(int id);

}  // namespace tamlo
