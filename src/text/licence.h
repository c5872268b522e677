// The licence notice every program prints after its name and version (--version).
#pragma once

#include <string_view>

namespace tamlo {

inline constexpr std::string_view kLicenceNotice =
    "Copyright (c) 2026 the Tamlo configurator developers\n"
    "MIT licence: this is free software; see the LICENSE file.\n";

}  // namespace tamlo
