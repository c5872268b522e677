// The service's request handling: any method, target and Host, over receivers that answer
// or not as the input says; or the bytes a client sent, read as Windows' server reads them.
// It must answer every request with a status, never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "serve/http_wire.h"
#include "serve/service.h"

namespace {

class Receivers final : public tamlo::serve::Receivers {
  public:
    bool answers = false;
    int64_t now = 0;
    std::vector<tamlo::serve::Exchange> exchange(
        const std::vector<size_t>& ports, const std::vector<tamlo::serve::ExchangeKind>&) override {
        std::vector<tamlo::serve::Exchange> out(ports.size());
        for (auto& e : out) {
            e.state = answers ? tamlo::serve::PortState::Answers : tamlo::serve::PortState::Busy;
            e.rssi = answers ? std::optional<int32_t>(-5) : std::nullopt;
        }
        return out;
    }
    int64_t nowMs() override { return now; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    tamlo::serve::Request request;
    const tamlo::serve::HeadRead head = tamlo::serve::readRequestHead(input);
    if (head.state == tamlo::serve::HeadRead::State::Done) {
        request = head.request;
    } else if (head.state == tamlo::serve::HeadRead::State::Refused) {
        if (head.refusal.status < 400 || tamlo::serve::responseBytes(head.refusal).empty()) {
            __builtin_trap();
        }
        return 0;
    } else {
        // METHOD \n TARGET \n HOST, each part as far as it goes.
        const size_t first = input.find('\n');
        const size_t second = first == std::string::npos ? first : input.find('\n', first + 1);
        request.method = input.substr(0, first);
        request.target =
            first == std::string::npos ? "/" : input.substr(first + 1, second - first - 1);
        request.headers.emplace_back(
            "Host", second == std::string::npos ? "127.0.0.1:9723" : input.substr(second + 1));
    }
    Receivers receivers;
    receivers.answers = size % 2 == 0;
    tamlo::serve::Watch watch({{"mast-north", "/dev/ttyUSB0", "", ""}, {"a\"b\\c\n", "", "", ""}},
                              receivers, 600'000);
    tamlo::serve::Service service(watch, {}, "2.0.0");
    for (int i = 0; i < 2; ++i) {
        const tamlo::serve::Response response = service.handleRequest(request);
        if (response.status < 200 || response.status > 599 ||
            tamlo::serve::responseBytes(response).size() < response.body.size()) {
            __builtin_trap();
        }
        receivers.now += 1000;
    }
    return 0;
}
