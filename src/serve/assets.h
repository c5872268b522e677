// What the service serves besides its data: the page for a person and the RSSI graph as
// SVG. An empty text means the part is not built into this program (the route answers 503).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serve/rssi_point.h"

namespace tamlo::serve {

std::string pageHtml();
std::string rssiSvg(const std::vector<RssiPoint>& points, std::optional<int32_t> threshold,
                    const std::string& title);

}  // namespace tamlo::serve
