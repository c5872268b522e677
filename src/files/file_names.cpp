#include "files/file_names.h"

#include <algorithm>
#include <array>

#include "text/conversions.h"

namespace tamlo {

namespace {

// The digit of COM1 or LPT1: 0-9, or a superscript 1, 2 or 3 in Latin-1 or in UTF-8.
bool isPortNumber(std::string_view digit) {
    if (digit.size() == 1) {
        const char c = digit.front();
        return (c >= '0' && c <= '9') || c == '\xb9' || c == '\xb2' || c == '\xb3';
    }
    return digit == "\xc2\xb9" || digit == "\xc2\xb2" || digit == "\xc2\xb3";
}

}  // namespace

bool isWindowsDeviceName(std::string_view fileName) {
    std::string_view stem = fileName.substr(0, fileName.find('.'));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == ':')) {
        stem.remove_suffix(1);
    }
    constexpr std::array<std::string_view, 6> kDevices = {"con", "prn",    "aux",
                                                          "nul", "conin$", "conout$"};
    for (std::string_view device : kDevices) {
        if (equalsIgnoringCase(stem, device)) {
            return true;
        }
    }
    return stem.size() > 3 &&
           (equalsIgnoringCase(stem.substr(0, 3), "com") ||
            equalsIgnoringCase(stem.substr(0, 3), "lpt")) &&
           isPortNumber(stem.substr(3));
}

std::string portableFileName(std::string fileName) {
    for (size_t end = fileName.size();
         end > 0 && (fileName[end - 1] == '.' || fileName[end - 1] == ' '); --end) {
        fileName[end - 1] = '_';
    }
    if (isWindowsDeviceName(fileName)) {
        const size_t stem = std::min(fileName.find('.'), fileName.size());
        fileName = fileName.substr(0, stem) + "_" + fileName.substr(stem);
    }
    return fileName;
}

}  // namespace tamlo
