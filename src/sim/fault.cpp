#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/receiver.h"

namespace tamlo::sim {
namespace {

struct Named {
    std::string_view name;
    Fault fault;
    int32_t defaultParameter;
    bool takesParameter;
};

constexpr std::array<Named, 8> kFaults{{
    {"none", Fault::None, 0, false},
    {"silent", Fault::Silent, 0, false},
    {"noecho", Fault::NoEcho, 0, false},
    {"noise", Fault::Noise, 0, false},
    {"cut", Fault::CutOff, kDefaultCutAfter, true},
    {"late", Fault::Late, kDefaultLateMs, true},
    {"unplugged", Fault::Unplugged, 0, false},
    {"unplug", Fault::UnplugAfter, kDefaultUnplugAfter, true},
}};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != b[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool parseFault(std::string_view text, Fault& fault, int32_t& parameter) {
    const size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    for (const Named& named : kFaults) {
        if (!sameIgnoringCase(name, named.name)) {
            continue;
        }
        int32_t value = named.defaultParameter;
        if (colon != std::string_view::npos) {
            const std::string_view digits = text.substr(colon + 1);
            if (!named.takesParameter || digits.empty()) {
                return false;
            }
            for (const char c : digits) {
                if (c < '0' || c > '9') {
                    return false;  // no sign, no blanks: a count or a time cannot be negative
                }
            }
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (error != std::errc{} || end != digits.data() + digits.size() ||
                value > kMaxFaultParameter) {
                return false;
            }
        }
        fault = named.fault;
        parameter = value;
        return true;
    }
    return false;
}

std::string_view faultName(Fault fault) {
    for (const Named& named : kFaults) {
        if (named.fault == fault) {
            return named.name;
        }
    }
    return "none";
}

}  // namespace tamlo::sim
