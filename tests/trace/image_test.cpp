#include "trace/image.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <vector>

#include "ppm.h"

namespace tamlo {
namespace {

using Points = std::set<std::pair<int, int>>;

constexpr Rgb kWhite{255, 255, 255};

Points litPixels(const Image& image) {
    Points lit;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != Rgb{}) {
                lit.insert({x, y});
            }
        }
    }
    return lit;
}

Points row(int y, int fromX, int toX) {
    Points points;
    for (int x = fromX; x <= toX; ++x) {
        points.insert({x, y});
    }
    return points;
}

Points column(int x, int fromY, int toY) {
    Points points;
    for (int y = fromY; y <= toY; ++y) {
        points.insert({x, y});
    }
    return points;
}

TEST(Image, IsMadeBlackAtItsFixedSize) {
    Image image;
    EXPECT_EQ(image.width(), 360);
    EXPECT_EQ(image.height(), 150);
    EXPECT_EQ(image.rgb().size(), 360u * 150u * 3u);
    EXPECT_TRUE(litPixels(image).empty());
}

TEST(Image, PixelsOutsideAreIgnoredAndReadBlack) {
    Image image;
    const std::pair<int, int> outside[] = {{-1, 0},  {360, 0},           {0, -1},
                                           {0, 150}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}};
    for (auto [x, y] : outside) {
        image.setPixel(x, y, kWhite);
        EXPECT_EQ(image.pixel(x, y), Rgb{});
    }
    EXPECT_EQ(image, Image());
}

TEST(Image, PixelLandsInItsRowAndColumnOfTheBuffer) {
    Image image;
    image.setPixel(359, 149, Rgb{1, 2, 3});
    image.setPixel(1, 0, Rgb{4, 5, 6});
    const auto& rgb = image.rgb();
    EXPECT_EQ(rgb[rgb.size() - 3], 1);
    EXPECT_EQ(rgb[rgb.size() - 1], 3);
    EXPECT_EQ(rgb[3], 4);
    EXPECT_EQ(rgb[5], 6);
    EXPECT_EQ(image.pixel(359, 149), (Rgb{1, 2, 3}));
}

TEST(Image, LineFollowsTheEndPointRuleAndIsClipped) {
    struct Case {
        int x, y, w, h;
        Points expected;
    };
    const Case cases[] = {
        {5, 5, 3, 1, row(5, 5, 7)},
        {5, 5, -3, 1, row(5, 3, 5)},
        {5, 5, 3, -1, row(5, 5, 7)},
        {5, 5, 1, 3, column(5, 5, 7)},
        {5, 5, 1, -3, column(5, 3, 5)},
        {5, 5, -1, -3, column(5, 3, 5)},
        {5, 5, 1, 1, {{5, 5}}},
        {5, 5, -1, -1, {{5, 5}}},
        {5, 5, 0, 4, {}},
        {5, 5, 4, 0, {}},
        {0, 0, 360, 1, row(0, 0, 359)},
        {10, 0, 1, 150, column(10, 0, 149)},
        {-3, 2, 5, 1, row(2, 0, 1)},
        {358, 2, 5, 1, row(2, 358, 359)},
        {2, 2, -5, 1, row(2, 0, 2)},
        {10, 149, 1, 5, {{10, 149}}},
        {10, 1, 1, -5, column(10, 0, 1)},
        {0, 150, 360, 1, {}},
        {0, -1, 360, 1, {}},
        {360, 0, 5, 1, {}},
        {-1, 0, -5, 1, {}},
        // Starts and extents near the int limits must neither overflow nor wrap into view.
        {-1000, 3, 2000, 1, row(3, 0, 359)},
        {1000, 3, -2000, 1, row(3, 0, 359)},
        {INT_MAX, 3, INT_MIN, 1, row(3, 0, 359)},
        {INT_MIN, 3, INT_MAX, 1, {}},
        {INT_MAX, 3, INT_MAX, 1, {}},
        {0, INT_MIN, 1, INT_MIN, {}},
        {7, INT_MIN, 1, INT_MAX, {}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        {2, 0, -3, 3, {{2, 0}, {1, 1}, {0, 2}}},
    };
    for (const Case& c : cases) {
        Image image;
        image.line(c.x, c.y, c.w, c.h, kWhite);
        EXPECT_EQ(litPixels(image), c.expected)
            << "line(" << c.x << ", " << c.y << ", " << c.w << ", " << c.h << ")";
    }
}

TEST(Image, LineUsesItsColour) {
    Image image;
    image.line(0, 4, 2, 1, Rgb{0, 192, 64});
    EXPECT_EQ(image.pixel(1, 4), (Rgb{0, 192, 64}));
}

TEST(Image, CopyTakesEveryPixelAndReplacesWhatWasThere) {
    Image source;
    source.line(0, 0, 360, 150, kWhite);
    source.setPixel(359, 0, Rgb{9, 8, 7});
    Image target;
    target.line(0, 149, 360, 1, Rgb{1, 1, 1});
    target.copyFrom(source);
    EXPECT_EQ(target, source);
}

TEST(Ppm, HeaderThenRowsFromTheTop) {
    Image image;
    image.setPixel(0, 0, Rgb{10, 20, 30});
    image.setPixel(359, 149, Rgb{40, 50, 60});
    const std::string header = "P6\n360 150\n255\n";
    const std::string bytes = ppmBytes(image);
    ASSERT_EQ(bytes.size(), header.size() + 360u * 150u * 3u);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(bytes.substr(header.size(), 3), std::string("\x0a\x14\x1e"));
    EXPECT_EQ(bytes.substr(bytes.size() - 3), std::string("\x28\x32\x3c"));
}

TEST(Ppm, WritesTheSameBytesToAFileAndReportsFailure) {
    Image image;
    image.line(0, 0, 360, 1, Rgb{255, 0, 13});  // includes a byte that text mode would alter
    image.setPixel(3, 3, Rgb{13, 10, 26});
    const auto path = std::filesystem::temp_directory_path() / "tamlo_trace_image_test.ppm";
    ASSERT_TRUE(writePpm(image, path.string()));
    std::ifstream file(path, std::ios::binary);
    const std::string read{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    file.close();
    std::filesystem::remove(path);
    EXPECT_EQ(read, ppmBytes(image));

    const auto missing = std::filesystem::temp_directory_path() / "tamlo_no_such_dir" / "x.ppm";
    EXPECT_FALSE(writePpm(image, missing.string()));
}

}  // namespace
}  // namespace tamlo
