// The 360 x 150, 24-bit off-screen image of the signal-strength graph. Drawing is pure and
// pixel-exact here; a window backend only shows the buffer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tamlo {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class Image {
  public:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 150;

    // Made black.
    Image();

    int width() const { return kWidth; }
    int height() const { return kHeight; }
    // Black outside the image.
    Rgb pixel(int x, int y) const;
    // Ignored outside the image.
    void setPixel(int x, int y, Rgb colour);
    // A line from (x, y) over a signed width and height: the far end is x + w - 1 for a
    // positive w and x + w + 1 for a negative one (likewise for h); nothing is drawn when
    // w or h is 0; both ends are included; clipped to the image.
    void line(int x, int y, int w, int h, Rgb colour);
    // Pixel for pixel onto this image at (0, 0).
    void copyFrom(const Image& other);
    // Rows from the top, three bytes (red, green, blue) a pixel, no padding.
    const std::vector<uint8_t>& rgb() const { return pixels_; }

    friend bool operator==(const Image&, const Image&) = default;

  private:
    std::vector<uint8_t> pixels_;
};

}  // namespace tamlo
