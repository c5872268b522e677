#include "ui/control_table.h"

#include <gtest/gtest.h>

#include <set>

namespace tamlo {
namespace {

TEST(ControlTable, FixedControlsComeInCreationOrderWithUniqueIds) {
    const int expected[] = {1,  2,  3,  4,  5,  6,  7,  8,  20, 21, 22,
                            23, 24, 30, 31, 32, 33, 34, 35, 36, 37};
    auto fixed = fixedControls();
    ASSERT_EQ(fixed.size(), std::size(expected));
    std::set<int> seen;
    for (size_t i = 0; i < fixed.size(); ++i) {
        EXPECT_EQ(fixed[i].id, expected[i]);
        EXPECT_TRUE(seen.insert(fixed[i].id).second);
    }
}

TEST(ControlTable, AudioLevelFieldCoversItsFrameInBothGenerations) {
    for (int generation : {2, 3}) {
        const ControlSpec* frame = generationControl(ids::AudioLevelFrame, generation);
        const ControlSpec* field = generationControl(ids::AudioLevelField, generation);
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(frame->place, field->place);
    }
}

TEST(ControlTable, GenerationControlsHaveTheirTexts) {
    struct Case {
        int id;
        int generation;
        const char* text;
        Rect place;
    };
    const Case cases[] = {
        {42, 2, " Diversity", {278, 225, 70, 20}},  {42, 3, " LNA supply", {240, 205, 80, 20}},
        {43, 3, " Diversity", {240, 225, 70, 20}},  {38, 2, "Audio level", {300, 193, 70, 20}},
        {38, 3, "Audio level", {300, 163, 70, 20}},
    };
    for (const Case& c : cases) {
        const ControlSpec* item = generationControl(c.id, c.generation);
        ASSERT_NE(item, nullptr) << c.id;
        EXPECT_EQ(item->text, c.text);
        EXPECT_EQ(item->place, c.place);
    }
    EXPECT_EQ(generationControl(43, 2), nullptr);
    EXPECT_EQ(generationControl(9, 1), nullptr);
}

}  // namespace
}  // namespace tamlo

namespace tamlo {
namespace {

TEST(ControlTable, FieldsAreNamedAfterTheirLabels) {
    const std::pair<int, const char*> cases[] = {
        {1, "Channel 1"},
        {6, "Channel 6"},
        {7, "Threshold"},
        {8, "RSSI"},
        {9, "Audio level"},
        {41, "Audio level"},
        {20, ""},
        {24, ""},
        {30, ""},
        {42, ""},
        {0, ""},
    };
    for (const auto& [id, name] : cases) {
        EXPECT_EQ(accessibleName(id), name) << id;
    }
}

}  // namespace
}  // namespace tamlo
