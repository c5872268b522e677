// The trace image as a binary PPM file, for inspecting a rendered graph outside the program.
#pragma once

#include <string>

#include "trace/image.h"

namespace tamlo {

// "P6", width, height, 255, then the rows from the top, three bytes a pixel.
std::string ppmBytes(const Image& image);
// False when the file cannot be opened or written in full.
bool writePpm(const Image& image, const std::string& path);

}  // namespace tamlo
