#include "trace/image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace tamlo {

namespace {

constexpr size_t kBytesPerPixel = 3;

bool inside(int64_t x, int64_t y) {
    return x >= 0 && x < Image::kWidth && y >= 0 && y < Image::kHeight;
}

// The far end of a signed extent: the start itself counts as the first pixel, so a
// width of 3 reaches start + 2 and a width of -3 reaches start - 2.
int64_t farEnd(int64_t start, int64_t extent) {
    return extent > 0 ? start + extent - 1 : start + extent + 1;
}

}  // namespace

Image::Image() : pixels_(static_cast<size_t>(kWidth) * kHeight * kBytesPerPixel, 0) {}

Rgb Image::pixel(int x, int y) const {
    if (!inside(x, y)) {
        return Rgb{};
    }
    const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * kBytesPerPixel;
    return Rgb{pixels_[at], pixels_[at + 1], pixels_[at + 2]};
}

void Image::setPixel(int x, int y, Rgb colour) {
    if (!inside(x, y)) {
        return;
    }
    const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * kBytesPerPixel;
    pixels_[at] = colour.red;
    pixels_[at + 1] = colour.green;
    pixels_[at + 2] = colour.blue;
}

void Image::line(int x, int y, int w, int h, Rgb colour) {
    if (w == 0 || h == 0) {
        return;
    }
    // 64 bits, so that a start near the int limits plus its extent cannot overflow.
    const int64_t x1 = x;
    const int64_t y1 = y;
    const int64_t x2 = farEnd(x, w);
    const int64_t y2 = farEnd(y, h);
    const int64_t dx = x2 - x1;
    const int64_t dy = y2 - y1;

    // Step along the longer axis, one pixel per step, and only over the part of that axis
    // that lies inside the image: a line far outside costs nothing.
    const bool alongX = std::llabs(dx) >= std::llabs(dy);
    const int64_t from = alongX ? std::min(x1, x2) : std::min(y1, y2);
    const int64_t to = alongX ? std::max(x1, x2) : std::max(y1, y2);
    const int64_t limit = alongX ? kWidth - 1 : kHeight - 1;
    const int64_t first = std::max<int64_t>(from, 0);
    const int64_t last = std::min<int64_t>(to, limit);
    const int64_t major1 = alongX ? x1 : y1;
    const int64_t majorD = alongX ? dx : dy;
    const int64_t minor1 = alongX ? y1 : x1;
    const int64_t minorD = alongX ? dy : dx;

    for (int64_t t = first; t <= last; ++t) {
        int64_t minor = minor1;
        if (majorD != 0 && minorD != 0) {
            minor += std::llround(static_cast<double>(t - major1) * static_cast<double>(minorD) /
                                  static_cast<double>(majorD));
        }
        const int64_t px = alongX ? t : minor;
        const int64_t py = alongX ? minor : t;
        if (inside(px, py)) {
            setPixel(static_cast<int>(px), static_cast<int>(py), colour);
        }
    }
}

void Image::copyFrom(const Image& other) {
    pixels_ = other.pixels_;
}

}  // namespace tamlo
