// The service's answers: routing, the Host check, parameters, methods and limits, and the
// metrics of receivers of each generation and of a silent one.
#include <gtest/gtest.h>

#include "serve/http_wire.h"
#include "serve/serve_run.h"
#include "serve/service.h"

namespace tamlo::serve {
namespace {

// Receivers that answer as given, on a clock the test sets.
class FakeReceivers final : public Receivers {
  public:
    std::vector<Exchange> answers;
    int64_t now = 1'000'000;
    int exchanges = 0;
    std::vector<Exchange> exchange(const std::vector<size_t>& ports,
                                   const std::vector<ExchangeKind>&) override {
        ++exchanges;
        std::vector<Exchange> out;
        for (size_t i : ports)
            out.push_back(answers[i]);
        return out;
    }
    int64_t nowMs() override { return now; }
};

Exchange answering(const char* firmware, int generation, bool extras, bool lna) {
    Exchange e;
    e.state = PortState::Answers;
    e.rssi = 40;
    e.firmware = firmware;
    e.generation = generation;
    e.durationMs = 200;
    SettingsFile s;
    s.channelCodes[0] = 8500;
    s.threshold = 45;
    if (extras) {
        s.audioLevel = 7;
        s.diversity = false;
    }
    if (lna)
        s.lnaSupply = true;
    e.settings = s;
    return e;
}

struct Fixture {
    FakeReceivers receivers;
    Watch watch;
    Service service;
    Fixture()
        : watch({{"gen1", "/dev/ttyUSB0", "", ""},
                 {"gen2", "/dev/ttyUSB1", "", ""},
                 {"gen3", "/dev/ttyUSB2", "usb-FTDI", "A10K\"3"},
                 {"silent", "/dev/ttyUSB3", "", ""}},
                receivers, 600'000),
          service(watch, {}, "2.0.0") {
        receivers.answers = {answering("1.75", 1, false, false), answering("1.90", 2, true, false),
                             answering("2.05", 3, true, true), Exchange{}};
        receivers.answers[3].reason = "no reply";
    }
    Response get(const std::string& target, const std::string& host = "127.0.0.1:9723",
                 const std::string& method = "GET") {
        return service.handleRequest({method, target, {{"Host", host}}});
    }
};

TEST(Serve, AnswersEachRequestWithItsStatus) {
    const struct {
        const char* method;
        std::string target;
        const char* host;
        int status;
    } rows[] = {
        {"GET", "/metrics", "127.0.0.1:9723", 200},
        {"HEAD", "/metrics", "localhost:9723", 200},
        {"GET", "/probe?target=gen3", "LOCALHOST", 200},
        {"GET", "/api/receivers", "[::1]:9723", 200},
        {"GET", "/api/history?port=silent", "127.0.0.1", 200},
        {"GET", "/metrics", "evil.example:9723", 403},  // DNS rebinding
        {"GET", "/metrics", "127.0.0.1:80", 403},
        {"GET", "/metrics", "", 403},
        {"POST", "/metrics", "127.0.0.1:9723", 405},
        {"GET", "/nothing", "127.0.0.1:9723", 404},
        {"GET", "/metrics?x=1", "127.0.0.1:9723", 400},
        {"GET", "/probe", "127.0.0.1:9723", 400},
        {"GET", "/probe?target=gen3&target=gen1", "127.0.0.1:9723", 400},
        {"GET", "/probe?target=nobody", "127.0.0.1:9723", 404},
        {"GET", "/probe?target=../../etc/passwd", "127.0.0.1:9723", 400},
        {"GET", "/probe?target=%2Fetc%2Fpasswd", "127.0.0.1:9723", 400},
        {"GET", "/probe?target=gen%", "127.0.0.1:9723", 400},
        {"GET", "/probe?target=gen%0A3", "127.0.0.1:9723", 400},
        {"GET", "/?a=1&b=2&c=3&d=4&e=5", "127.0.0.1:9723", 400},
        {"GET", "/" + std::string(kMaxTargetBytes, 'a'), "127.0.0.1:9723", 414},
        {"GET", "metrics", "127.0.0.1:9723", 400},
        {"GET", "/", "127.0.0.1:9723", 200},
        {"HEAD", "/rssi.svg?port=gen1", "127.0.0.1:9723", 200},
    };
    Fixture f;
    for (const auto& row : rows) {
        const Response r = f.get(row.target, row.host, row.method);
        EXPECT_EQ(r.status, row.status) << row.method << " " << row.target << " " << row.host;
        EXPECT_EQ(r.body.empty(), std::string(row.method) == "HEAD") << row.target;
    }
}

// The head of a request as Windows' server reads it from the socket: 0 while it is not all
// there, 200 when it is (and the service answers it), else the refusal's status.
TEST(Serve, ReadsARequestHeadAsItComesAndRefusesWhatIsNotOne) {
    std::string manyHeaders = "GET / HTTP/1.1\r\n";
    for (size_t i = 0; i <= kMaxHeaders; ++i)
        manyHeaders += "X: 1\r\n";
    const struct {
        std::string bytes;
        int status;
    } rows[] = {
        {"GET /metrics HTTP/1.1\r\nHost:\t 127.0.0.1:9723 \r\n\r\n", 200},
        {"HEAD /metrics HTTP/1.0\r\nHost: 127.0.0.1:9723\r\n\r\n", 200},
        {"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:9723\r\n", 0},
        {"GET  /metrics HTTP/1.1\r\n\r\n", 400},
        {"GET /metrics\r\n\r\n", 400},
        {"GET /met\x01rics HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost 127.0.0.1:9723\r\n\r\n", 400},
        {std::string("GET / HTTP/1.1\r\nX: a") + '\0' + "b\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\n\r\n", 505},
        {"GET /" + std::string(kMaxHeadBytes, 'a'), 414},
        {"GET / HTTP/1.1\r\n" + std::string(kMaxHeadBytes, 'a'), 431},
        {manyHeaders + "\r\n", 431},
    };
    Fixture f;
    for (const auto& row : rows) {
        const HeadRead read = readRequestHead(row.bytes);
        const Response r = read.state == HeadRead::State::Done
                               ? f.service.handleRequest(read.request)
                           : read.state == HeadRead::State::Refused ? read.refusal
                                                                    : Response{0, "", "", {}};
        EXPECT_EQ(r.status, row.status) << row.bytes.substr(0, 40);
        if (r.status == 200) {
            const std::string bytes = responseBytes(r);
            EXPECT_EQ(bytes.rfind("HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4", 0),
                      0u);
            EXPECT_NE(bytes.find("Content-Length: " + std::to_string(r.body.size()) +
                                 "\r\nConnection: close\r\n"),
                      std::string::npos);
        }
    }
    // --listen: loopback unless allowed, a port in range, IPv6 in brackets.
    std::string why;
    EXPECT_EQ(listenAddress("[::1]:9723", false, why)->host, "::1");
    EXPECT_FALSE(listenAddress("0.0.0.0:9723", false, why));
    EXPECT_NE(why.find("add --allow-remote"), std::string::npos);
    EXPECT_EQ(listenAddress("0.0.0.0:80", true, why)->port, 80);
    for (const char* bad : {"9723", ":9723", "127.0.0.1:", "127.0.0.1:65536", "127.0.0.1:9x"}) {
        EXPECT_FALSE(listenAddress(bad, true, why)) << bad;
    }
}

TEST(Serve, MetricsHoldWhatEachGenerationReadAndNothingInvented) {
    Fixture f;
    const std::string text = f.get("/metrics").body;
    for (const char* line :
         {"tamlo_up{port=\"gen1\"} 1\n", "tamlo_up{port=\"silent\"} 0\n",
          "tamlo_rssi{port=\"gen3\"} 40\n",
          "tamlo_channel_frequency_hertz{port=\"gen2\",channel=\"1\"} 138500000\n",
          "tamlo_receiver_info{port=\"gen3\",device=\"/dev/ttyUSB2\",firmware=\"2.05\","
          "generation=\"3\",by_id=\"usb-FTDI\",usb_serial=\"A10K\\\"3\"} 1\n",
          "tamlo_lna_supply{port=\"gen3\"} 1\n", "tamlo_audio_level{port=\"gen2\"} 7\n",
          "tamlo_port_errors_total{port=\"silent\",reason=\"no_answer\"} 1\n",
          "tamlo_last_poll_timestamp_seconds{port=\"gen1\"} 1000.000\n",
          "# TYPE tamlo_port_errors_total counter\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    for (const char* absent :
         {"tamlo_rssi{port=\"silent\"}", "tamlo_audio_level{port=\"gen1\"}",
          "tamlo_lna_supply{port=\"gen2\"}", "tamlo_threshold{port=\"silent\"}"}) {
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    }
    // Within the second every request gets the last sample; after it the ports are polled.
    f.get("/api/receivers");
    EXPECT_EQ(f.receivers.exchanges, 1);
    f.receivers.now += 1000;
    const std::string json = f.get("/api/receivers").body;
    EXPECT_EQ(f.receivers.exchanges, 2);
    EXPECT_NE(json.find("\"state\":\"no answer\",\"reason\":\"no reply\",\"rssi\":null"),
              std::string::npos);
    EXPECT_NE(json.find("\"channel1\":\"138.500 MHz\",\"threshold\":\"45\""), std::string::npos);
}

}  // namespace
}  // namespace tamlo::serve
