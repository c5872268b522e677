#include "ppm.h"

#include <fstream>

namespace tamlo {

std::string ppmBytes(const Image& image) {
    std::string bytes =
        "P6\n" + std::to_string(image.width()) + " " + std::to_string(image.height()) + "\n255\n";
    const auto& rgb = image.rgb();
    bytes.append(rgb.begin(), rgb.end());
    return bytes;
}

bool writePpm(const Image& image, const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    const std::string bytes = ppmBytes(image);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

}  // namespace tamlo
