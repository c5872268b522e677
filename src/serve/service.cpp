#include "serve/service.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "cli/port_report.h"
#include "serve/assets.h"

namespace tamlo::serve {

Response plainAnswer(int status, std::string body) {
    Response response;
    response.status = status;
    response.body = std::move(body) + "\n";
    return response;
}

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// %XX and '+' decoded; nothing when an escape is cut or a control character comes out.
std::optional<std::string> decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
        out += c;
    }
    return out;
}

// Label values and help texts as the text format escapes them.
std::string escaped(const std::string& text, bool quote) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"' && quote) {
            out += "\\\"";
        } else {
            out += c;
        }
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// One metric family: its help and type, then a line a port (and label set).
class Family {
  public:
    Family(std::string& out, const char* name, const char* type, const char* help)
        : out_(out), name_(name) {
        out_ += std::string("# HELP ") + name + " " + escaped(help, false) + "\n# TYPE " + name +
                " " + type + "\n";
    }
    void add(const PortWatch& port, const std::string& value,
             const std::vector<std::pair<std::string, std::string>>& labels = {}) {
        out_ += name_ + "{port=\"" + escaped(port.id.name, true) + "\"";
        for (const auto& [key, text] : labels) {
            out_ += "," + key + "=\"" + escaped(text, true) + "\"";
        }
        out_ += "} " + value + "\n";
    }

  private:
    std::string& out_;
    std::string name_;
};

// Hz of a channel code: 1 kHz steps above 130 MHz.
int64_t channelHertz(int32_t code) {
    return (int64_t{130'000} + code) * 1000;
}

std::string channelText(int32_t code) {
    char text[32];
    const int64_t khz = int64_t{130'000} + code;
    std::snprintf(text, sizeof text, "%lld.%03lld MHz", static_cast<long long>(khz / 1000),
                  static_cast<long long>(khz % 1000));
    return text;
}

nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

struct Target {
    std::string path;
    std::map<std::string, std::string> parameters;
};

// The path and parameters, or the status of a target that is refused.
std::optional<Target> parseTarget(const std::string& raw, int& status, std::string& why) {
    status = 400;
    if (raw.size() > kMaxTargetBytes) {
        status = 414;
        why = "the request target is too long";
        return std::nullopt;
    }
    if (raw.empty() || raw[0] != '/') {
        why = "the request target is not a path";
        return std::nullopt;
    }
    Target target;
    const size_t mark = raw.find('?');
    target.path = raw.substr(0, mark);
    if (mark == std::string::npos) {
        return target;
    }
    const std::string query = raw.substr(mark + 1);
    size_t start = 0;
    size_t count = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) {
            end = query.size();
        }
        const std::string pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) {
            if (end == query.size()) {
                break;
            }
            continue;
        }
        if (++count > kMaxParameters) {
            why = "too many parameters";
            return std::nullopt;
        }
        const size_t equals = pair.find('=');
        const std::optional<std::string> key = decoded(pair.substr(0, equals));
        const std::optional<std::string> value =
            decoded(equals == std::string::npos ? "" : pair.substr(equals + 1));
        if (!key || !value || key->empty()) {
            why = "a malformed parameter";
            return std::nullopt;
        }
        if (!target.parameters.emplace(*key, *value).second) {
            why = "the parameter '" + *key + "' is given twice";
            return std::nullopt;
        }
    }
    return target;
}

}  // namespace

Service::Service(Watch& watch, ServiceAddress address, std::string version)
    : watch_(watch), address_(std::move(address)), version_(std::move(version)) {}

bool Service::hostAllowed(const std::string& given) const {
    std::string host = lowered(given);
    const std::string portText = ":" + std::to_string(address_.port);
    if (host.size() > portText.size() &&
        host.compare(host.size() - portText.size(), portText.size(), portText) == 0) {
        host.resize(host.size() - portText.size());
    }
    // Only the names that lead here: a page elsewhere whose name was made to resolve to
    // this address (DNS rebinding) sends its own name and is refused.
    return host == "localhost" || host == "127.0.0.1" || host == "[::1]" ||
           host == lowered(address_.host) || host == "[" + lowered(address_.host) + "]";
}

std::string Service::metricsText(const std::vector<PortWatch>& ports) {
    std::string out;
    {
        Family f(out, "tamlo_up", "gauge", "1 when the receiver answered the last poll, else 0");
        for (const PortWatch& p : ports)
            f.add(p, p.up() ? "1" : "0");
    }
    {
        Family f(out, "tamlo_rssi", "gauge",
                 "The signal strength as the receiver reports it (absent when it did not answer)");
        for (const PortWatch& p : ports) {
            if (p.rssi)
                f.add(p, std::to_string(*p.rssi));
        }
    }
    {
        Family f(out, "tamlo_receiver_info", "gauge", "The receiver behind the port");
        for (const PortWatch& p : ports) {
            if (p.settings) {
                f.add(p, "1",
                      {{"device", p.id.device},
                       {"firmware", p.firmware},
                       {"generation", std::to_string(p.generation)},
                       {"by_id", p.id.byId},
                       {"usb_serial", p.id.usbSerial}});
            }
        }
    }
    {
        Family f(out, "tamlo_channel_frequency_hertz", "gauge", "A stored channel's frequency");
        for (const PortWatch& p : ports) {
            if (!p.settings)
                continue;
            for (size_t c = 0; c < p.settings->channelCodes.size(); ++c) {
                if (p.settings->channelCodes[c]) {
                    f.add(p, std::to_string(channelHertz(*p.settings->channelCodes[c])),
                          {{"channel", std::to_string(c + 1)}});
                }
            }
        }
    }
    const auto setting = [&](const char* name, const char* help, auto get) {
        Family f(out, name, "gauge", help);
        for (const PortWatch& p : ports) {
            if (p.settings) {
                if (const std::optional<int64_t> v = get(*p.settings))
                    f.add(p, std::to_string(*v));
            }
        }
    };
    const auto flag = [](const std::optional<bool>& b) {
        return b ? std::optional<int64_t>(*b ? 1 : 0) : std::nullopt;
    };
    setting("tamlo_threshold", "The stored squelch threshold, in the receiver's RSSI units",
            [](const SettingsFile& s) { return s.threshold; });
    setting("tamlo_audio_level", "The stored audio level",
            [](const SettingsFile& s) { return s.audioLevel; });
    setting("tamlo_diversity", "1 when diversity is on",
            [&](const SettingsFile& s) { return flag(s.diversity); });
    setting("tamlo_lna_supply", "1 when the LNA supply is on",
            [&](const SettingsFile& s) { return flag(s.lnaSupply); });
    {
        Family f(out, "tamlo_poll_duration_seconds", "gauge", "How long the last exchange took");
        for (const PortWatch& p : ports) {
            if (p.polled)
                f.add(p, number(static_cast<double>(p.pollMs) / 1000.0));
        }
    }
    {
        Family f(out, "tamlo_last_poll_timestamp_seconds", "gauge",
                 "When the port was last polled, Unix time");
        for (const PortWatch& p : ports) {
            if (p.polled)
                f.add(p, number(static_cast<double>(p.polledAtMs) / 1000.0));
        }
    }
    {
        Family f(out, "tamlo_port_errors_total", "counter",
                 "Polls that found no answer, by reason");
        for (const PortWatch& p : ports) {
            for (const auto& [reason, count] : p.errors) {
                f.add(p, std::to_string(count), {{"reason", reason}});
            }
        }
    }
    return out;
}

std::string Service::receiversJson(const std::vector<PortWatch>& ports) const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PortWatch& p : ports) {
        nlohmann::ordered_json settings = nlohmann::ordered_json::object();
        nlohmann::ordered_json threshold;
        if (p.settings) {
            for (size_t c = 0; c < p.settings->channelCodes.size(); ++c) {
                if (p.settings->channelCodes[c]) {
                    settings["channel" + std::to_string(c + 1)] =
                        channelText(*p.settings->channelCodes[c]);
                }
            }
            const auto onOff = [](bool on) { return on ? "on" : "off"; };
            if (p.settings->threshold) {
                settings["threshold"] = std::to_string(*p.settings->threshold);
                threshold = *p.settings->threshold;
            }
            if (p.settings->audioLevel)
                settings["audio_level"] = std::to_string(*p.settings->audioLevel);
            if (p.settings->diversity)
                settings["diversity"] = onOff(*p.settings->diversity);
            if (p.settings->lnaSupply)
                settings["lna_supply"] = onOff(*p.settings->lnaSupply);
        }
        list.push_back({
            {"port", p.id.name},
            {"device", textOrNull(p.id.device)},
            {"by_id", textOrNull(p.id.byId)},
            {"usb_serial", textOrNull(p.id.usbSerial)},
            {"firmware", textOrNull(p.firmware)},
            {"generation",
             p.generation > 0 ? nlohmann::ordered_json(p.generation) : nlohmann::ordered_json()},
            {"state", p.polled ? stateText(p.state) : "no answer"},
            {"reason", p.up() || !p.polled ? nlohmann::ordered_json() : textOrNull(p.reason)},
            {"rssi", p.rssi ? nlohmann::ordered_json(*p.rssi) : nlohmann::ordered_json()},
            {"polled_at_ms",
             p.polled ? nlohmann::ordered_json(p.polledAtMs) : nlohmann::ordered_json()},
            {"threshold", threshold},
            {"settings", settings},
        });
    }
    return cli::jsonText({{"version", version_}, {"receivers", list}});
}

Response Service::handleRequest(const Request& request) {
    Response response = [&]() -> Response {
        if (request.method != "GET" && request.method != "HEAD") {
            Response refused = plainAnswer(405, "only GET and HEAD");
            refused.headers.emplace_back("Allow", "GET, HEAD");
            return refused;
        }
        const std::string* host = nullptr;
        for (const auto& [name, value] : request.headers) {
            if (lowered(name) == "host") {
                if (host != nullptr) {
                    return plainAnswer(400, "more than one Host header");
                }
                host = &value;
            }
        }
        if (host == nullptr || !hostAllowed(*host)) {
            return plainAnswer(403, "this service answers only under its own address");
        }
        int status = 400;
        std::string why;
        const std::optional<Target> target = parseTarget(request.target, status, why);
        if (!target) {
            return plainAnswer(status, why);
        }
        const auto& params = target->parameters;
        // The parameters each path takes: any other is refused, not ignored.
        static const std::map<std::string, std::string> kTakes = {{"/", ""},
                                                                  {"/metrics", ""},
                                                                  {"/api/receivers", ""},
                                                                  {"/probe", "target"},
                                                                  {"/api/history", "port"},
                                                                  {"/rssi.svg", "port"}};
        const auto route = kTakes.find(target->path);
        if (route == kTakes.end()) {
            return plainAnswer(404, "no such page");
        }
        for (const auto& [key, value] : params) {
            if (key != route->second) {
                return plainAnswer(400, "unknown parameter '" + key + "'");
            }
        }
        std::optional<size_t> port;
        if (!route->second.empty()) {
            const auto given = params.find(route->second);
            if (given == params.end()) {
                return plainAnswer(400, "give " + route->second + "=NAME");
            }
            port = watch_.find(given->second);
            if (!port) {
                // A name of the service's ports only: a path names no port here.
                const bool path = given->second.find_first_of("/\\") != std::string::npos ||
                                  given->second.find("..") != std::string::npos;
                return plainAnswer(path ? 400 : 404,
                                   path ? "a port's name, not a path" : "no such port");
            }
        }
        Response ok;
        if (target->path == "/metrics" || target->path == "/probe") {
            ok.contentType = "text/plain; version=0.0.4; charset=utf-8";
            const std::vector<PortWatch> all = port ? watch_.refresh({*port}) : watch_.refresh();
            ok.body = port ? metricsText({all[*port]}) : metricsText(all);
        } else if (target->path == "/api/receivers") {
            ok.contentType = "application/json";
            ok.body = receiversJson(watch_.refresh()) + "\n";
        } else if (target->path == "/api/history") {
            const PortWatch p = watch_.refresh({*port})[*port];
            nlohmann::ordered_json points = nlohmann::ordered_json::array();
            for (const RssiPoint& point : p.history) {
                points.push_back({point.atMs, point.rssi ? nlohmann::ordered_json(*point.rssi)
                                                         : nlohmann::ordered_json()});
            }
            ok.contentType = "application/json";
            ok.body = cli::jsonText({{"port", p.id.name}, {"points", points}}) + "\n";
        } else if (target->path == "/rssi.svg") {
            const PortWatch p = watch_.refresh({*port})[*port];
            const std::vector<RssiPoint> points(p.history.begin(), p.history.end());
            std::optional<int32_t> threshold;
            if (p.settings && p.settings->threshold) {
                threshold = static_cast<int32_t>(*p.settings->threshold);
            }
            ok.contentType = "image/svg+xml";
            ok.body = plot::rssiSvg(points, threshold, p.id.name);
        } else {
            ok.contentType = "text/html; charset=utf-8";
            ok.body = pageHtml();
            // Its own script and style, its requests to the service only, in no frame.
            ok.headers.emplace_back("Content-Security-Policy",
                                    "default-src 'none'; script-src 'unsafe-inline'; "
                                    "style-src 'unsafe-inline'; connect-src 'self'; "
                                    "frame-ancestors 'none'");
        }
        return ok;
    }();
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    if (request.method == "HEAD") {
        response.body.clear();
    }
    return response;
}

}  // namespace tamlo::serve
