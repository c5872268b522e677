// The settings the tests start from, for any of the value types that carry them (a STORE's
// request, a settings file): six channels across the band, threshold 45, audio level 7,
// diversity off, LNA supply on.
#pragma once

namespace tamlo {

template <class Values>
Values sampleValues() {
    Values values;
    values.channelCodes = {4000, 5250, 6500, 7120, 8000, 8990};
    values.threshold = 45;
    values.audioLevel = 7;
    values.diversity = false;
    values.lnaSupply = true;
    return values;
}

}  // namespace tamlo
