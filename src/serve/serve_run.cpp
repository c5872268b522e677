#include "serve/serve_run.h"

#include "serve/cli_receivers.h"

namespace tamlo::serve {

namespace {

bool loopback(const std::string& host) {
    return host == "127.0.0.1" || host == "localhost" || host == "::1" ||
           host.rfind("127.", 0) == 0;
}

}  // namespace

std::optional<ServiceAddress> listenAddress(const std::string& text, bool allowRemote,
                                            std::string& error) {
    error = "--listen " + text + ": give ADDRESS:PORT, e.g. 127.0.0.1:9723";
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size() ||
        colon + 6 < text.size()) {
        return std::nullopt;
    }
    ServiceAddress address;
    address.host = text.substr(0, colon);
    if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']') {
        address.host = address.host.substr(1, address.host.size() - 2);
    }
    address.port = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        address.port = address.port * 10 + (text[i] - '0');
    }
    if (address.port <= 0 || address.port > 65535 || address.host.empty()) {
        return std::nullopt;
    }
    if (!loopback(address.host) && !allowRemote) {
        error = "--listen " + text +
                ": not a loopback address; add --allow-remote to serve other machines";
        return std::nullopt;
    }
    error.clear();
    return address;
}

int runService(cli::CommandContext& run, const std::vector<std::string>& ports, HttpServer& server,
               const std::string& version) {
    const cli::Options& options = run.options();
    std::string why;
    const std::optional<ServiceAddress> address =
        listenAddress(options.listen, options.listenRemote, why);
    if (!address) {
        run.error(why);
        return cli::kExitUsage;
    }
    CliReceivers receivers(run, ports);
    Watch watch(receivers.identities(), receivers, int64_t{options.settingsIntervalS} * 1000);
    Service service(watch, *address, version);
    if (const std::string problem = server.bind(*address); !problem.empty()) {
        run.error("cannot listen on " + options.listen + ": " + problem);
        return cli::kExitFailed;
    }
    // The settings are read at start, so the first scrape finds them; a port that does not
    // answer now is named, so that a misspelt name shows at once and not only on the page.
    for (const PortWatch& port : watch.refresh()) {
        if (!port.up()) {
            run.note(port.id.name + ": " +
                     (port.reason.empty() ? stateText(port.state) : port.reason) +
                     "; watched until it answers");
        }
    }
    run.note("serving " + std::to_string(ports.size()) + " port(s) on http://" + options.listen +
             "/ (metrics: /metrics)");
    const std::atomic<int>* stops = run.platform().stopRequests;
    server.run(service, [stops] { return stops != nullptr && stops->load() > 0; });
    return run.stopped() || (stops != nullptr && stops->load() > 0) ? run.stoppedStatus()
                                                                    : cli::kExitOk;
}

}  // namespace tamlo::serve
