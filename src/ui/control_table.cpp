#include "ui/control_table.h"

#include <array>

namespace tamlo {

namespace {

using K = ControlKind;

constexpr std::array<ControlSpec, 21> kFixed{{
    {1, "ChannelField1", K::EditField, {100, 20, 100, 20}, ""},
    {2, "ChannelField2", K::EditField, {100, 45, 100, 20}, ""},
    {3, "ChannelField3", K::EditField, {100, 70, 100, 20}, ""},
    {4, "ChannelField4", K::EditField, {100, 95, 100, 20}, ""},
    {5, "ChannelField5", K::EditField, {100, 120, 100, 20}, ""},
    {6, "ChannelField6", K::EditField, {100, 145, 100, 20}, ""},
    {7, "ThresholdField", K::EditField, {100, 190, 50, 20}, ""},
    {8, "RssiDisplay", K::BorderedLabel, {100, 225, 50, 20}, ""},
    {20, "LoadButton", K::PushButton, {240, 20, 100, 30}, "LOAD"},
    {21, "StoreButton", K::PushButton, {240, 55, 100, 30}, "STORE"},
    {22, "QuitButton", K::PushButton, {240, 90, 100, 30}, "QUIT"},
    {23, "PortList", K::DropDownList, {240, 125, 100, 20}, ""},
    {24, "TraceCheck", K::CheckBox, {160, 225, 50, 20}, "Trace"},
    {30, "ChannelLabel1", K::Label, {10, 23, 70, 20}, "Channel 1"},
    {31, "ChannelLabel2", K::Label, {10, 48, 70, 20}, "Channel 2"},
    {32, "ChannelLabel3", K::Label, {10, 73, 70, 20}, "Channel 3"},
    {33, "ChannelLabel4", K::Label, {10, 98, 70, 20}, "Channel 4"},
    {34, "ChannelLabel5", K::Label, {10, 123, 70, 20}, "Channel 5"},
    {35, "ChannelLabel6", K::Label, {10, 148, 70, 20}, "Channel 6"},
    {36, "ThresholdLabel", K::Label, {10, 193, 70, 20}, "Threshold"},
    {37, "RssiLabel", K::Label, {10, 230, 30, 20}, "RSSI"},
}};

// Generation 2 keeps the audio level beside the threshold and has no LNA switch;
// generation 3 moves it up to make room for " LNA supply".
constexpr std::array<ControlSpec, 4> kGeneration2{{
    {9, "AudioLevelFrame", K::BorderedLabel, {240, 190, 50, 20}, ""},
    {38, "AudioLevelLabel", K::Label, {300, 193, 70, 20}, "Audio level"},
    {41, "AudioLevelField", K::EditField, {240, 190, 50, 20}, ""},
    {42, "DiversityCheck", K::CheckBox, {278, 225, 70, 20}, " Diversity"},
}};

constexpr std::array<ControlSpec, 5> kGeneration3{{
    {9, "AudioLevelFrame", K::BorderedLabel, {240, 160, 50, 20}, ""},
    {38, "AudioLevelLabel", K::Label, {300, 163, 70, 20}, "Audio level"},
    {41, "AudioLevelField", K::EditField, {240, 160, 50, 20}, ""},
    {42, "LnaCheck", K::CheckBox, {240, 205, 80, 20}, " LNA supply"},
    {43, "DiversityCheck", K::CheckBox, {240, 225, 70, 20}, " Diversity"},
}};

constexpr ControlSpec kTraceImageSpec{ids::TraceImage, "TraceImage", K::ImageControl,
                                      kTraceImagePlace, ""};

// The widest text the program puts into a control: a channel at the top of its range, the
// lowest threshold a generation-3 receiver reads back as written, the highest COM port probed.
struct WidestContent {
    int id;
    std::string_view text;
};
constexpr std::array<WidestContent, 10> kWidestContents{{
    {1, "138.990 MHz"},
    {2, "138.990 MHz"},
    {3, "138.990 MHz"},
    {4, "138.990 MHz"},
    {5, "138.990 MHz"},
    {6, "138.990 MHz"},
    {ids::ThresholdField, "-128"},
    {ids::RssiDisplay, "255"},
    {ids::PortList, "COM99"},
    {ids::AudioLevelField, "31"},
}};

// The status bar's widest texts; "working" and "ready" are shorter than both.
constexpr std::array<std::string_view, 2> kWidestStatusTexts{
    kCopyrightLine, "TamloX, firmware version 2.05   05-Nov-24"};

template <size_t N>
const ControlSpec* findIn(const std::array<ControlSpec, N>& table, int id) {
    for (const ControlSpec& item : table) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const ControlSpec> fixedControls() {
    return kFixed;
}

const GenerationForm& generationForm(int generation) {
    // Generation 1 has no audio-level controls; 2 and 3 place theirs differently, and the
    // box at id 42 is " Diversity" in one and " LNA supply" in the other.
    static constexpr std::array<GenerationForm, 3> kForms{{
        {.generation = 1, .controls = {}, .diversityCheck = 0, .lnaCheck = 0},
        {.generation = 2,
         .controls = kGeneration2,
         .diversityCheck = ids::DiversityOrLnaCheck,
         .lnaCheck = 0},
        {.generation = 3,
         .controls = kGeneration3,
         .diversityCheck = ids::DiversityCheck3,
         .lnaCheck = ids::DiversityOrLnaCheck},
    }};
    for (const GenerationForm& form : kForms) {
        if (form.generation == generation) {
            return form;
        }
    }
    return kForms.front();
}

const ControlSpec* generationControl(int id, int generation) {
    for (const ControlSpec& item : generationForm(generation).controls) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

std::vector<ShownText> shownTexts() {
    std::vector<ShownText> texts;
    const auto add = [&](const ControlSpec& item) {
        if (!item.text.empty()) {
            texts.push_back({item, item.text});
        }
        for (const WidestContent& content : kWidestContents) {
            if (content.id == item.id) {
                texts.push_back({item, content.text});
            }
        }
    };
    for (const ControlSpec& item : kFixed) {
        add(item);
    }
    for (const ControlSpec& item : kGeneration2) {
        add(item);
    }
    for (const ControlSpec& item : kGeneration3) {
        add(item);
    }
    for (std::string_view text : kWidestStatusTexts) {
        texts.push_back({kStatusBarSpec, text});
    }
    return texts;
}

const ControlSpec* findControl(int id) {
    if (id == ids::TraceImage) {
        return &kTraceImageSpec;
    }
    if (const ControlSpec* item = findIn(kFixed, id)) {
        return item;
    }
    return findIn(kGeneration3, id);
}

std::string_view accessibleName(int id) {
    int label = 0;
    if (id >= ids::ChannelField1 && id < ids::ChannelField1 + 6) {
        label = ids::ChannelLabel1 + (id - ids::ChannelField1);
    } else if (id == ids::ThresholdField) {
        label = ids::ThresholdLabel;
    } else if (id == ids::RssiDisplay) {
        label = ids::RssiLabel;
    } else if (id == ids::AudioLevelField || id == ids::AudioLevelFrame) {
        label = ids::AudioLevelLabel;
    } else {
        return {};
    }
    // The audio label has the same text in both generations that have it.
    const ControlSpec* item = findControl(label);
    return item != nullptr ? item->text : std::string_view{};
}

}  // namespace tamlo
