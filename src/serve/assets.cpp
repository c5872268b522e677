// Until the page and the graph are drawn by their own code, both routes say so.
#include "serve/assets.h"

namespace tamlo::serve {

std::string pageHtml() {
    return {};
}

std::string rssiSvg(const std::vector<RssiPoint>&, std::optional<int32_t>, const std::string&) {
    return {};
}

}  // namespace tamlo::serve
