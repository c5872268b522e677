// The page for a person: one self-contained document (its style and script inside, nothing
// from outside), so it works on a box with no network beyond the one it is reached on.
#pragma once

#include <string>

namespace tamlo::serve {

const std::string& pageHtml();

}  // namespace tamlo::serve
