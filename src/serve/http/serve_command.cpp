#include "serve/http/serve_command.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "serve/cli_receivers.h"
#include "serve/service.h"

namespace tamlo::serve {

namespace {

constexpr time_t kClientTimeoutS = 5;   // a slow client is closed after this long
constexpr size_t kMaxBodyBytes = 1024;  // no request here has a body
constexpr size_t kThreads = 8;          // requests served at once

bool loopback(const std::string& host) {
    return host == "127.0.0.1" || host == "localhost" || host == "::1" ||
           host.rfind("127.", 0) == 0;
}

// "ADDR:PORT", "[V6]:PORT"; false when it is neither.
bool splitListen(const std::string& text, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size() ||
        colon + 6 < text.size()) {
        return false;
    }
    host = text.substr(0, colon);
    if (host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    port = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        port = port * 10 + (text[i] - '0');
    }
    return port > 0 && port <= 65535 && !host.empty();
}

}  // namespace

int commandServe(cli::CommandContext& run, const std::vector<std::string>& ports) {
    const cli::Options& options = run.options();
    ServiceAddress address;
    if (!splitListen(options.listen, address.host, address.port)) {
        run.error("--listen " + options.listen + ": give ADDRESS:PORT, e.g. 127.0.0.1:9723");
        return cli::kExitUsage;
    }
    if (!loopback(address.host) && !options.listenRemote) {
        run.error("--listen " + options.listen +
                  ": not a loopback address; add --allow-remote to serve other machines");
        return cli::kExitUsage;
    }
    CliReceivers receivers(run, ports);
    Watch watch(receivers.identities(), receivers, int64_t{options.settingsIntervalS} * 1000);
    Service service(watch, address, TAMLO_VERSION);

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    server.set_read_timeout(kClientTimeoutS, 0);
    server.set_write_timeout(kClientTimeoutS, 0);
    server.set_keep_alive_timeout(kClientTimeoutS);
    server.set_keep_alive_max_count(100);
    server.set_payload_max_length(kMaxBodyBytes);
    const auto handle = [&service](const httplib::Request& in, httplib::Response& out) {
        Request request;
        request.method = in.method;
        request.target = in.target;
        for (const auto& [name, value] : in.headers) {
            request.headers.emplace_back(name, value);
        }
        const Response answer = service.handleRequest(request);
        out.status = answer.status;
        for (const auto& [name, value] : answer.headers) {
            out.set_header(name, value);
        }
        out.set_content(answer.body, answer.contentType);
    };
    server.Get(".*", handle);
    for (const char* method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS"}) {
        const auto refuse = [&handle, method](const httplib::Request& in, httplib::Response& out) {
            httplib::Request copy = in;
            copy.method = method;
            handle(copy, out);
        };
        if (std::string(method) == "POST")
            server.Post(".*", refuse);
        if (std::string(method) == "PUT")
            server.Put(".*", refuse);
        if (std::string(method) == "DELETE")
            server.Delete(".*", refuse);
        if (std::string(method) == "PATCH")
            server.Patch(".*", refuse);
        if (std::string(method) == "OPTIONS")
            server.Options(".*", refuse);
    }
    if (!server.bind_to_port(address.host, address.port)) {
        run.error("cannot listen on " + options.listen + " (in use, or not this machine's)");
        return cli::kExitFailed;
    }
    // The settings are read at start, so the first scrape finds them.
    watch.refresh();
    run.note("serving " + std::to_string(ports.size()) + " port(s) on http://" + options.listen +
             "/ (metrics: /metrics)");
    std::atomic<bool> done{false};
    const std::atomic<int>* stops = run.platform().stopRequests;
    std::thread stopper([&] {
        while (!done && (stops == nullptr || stops->load() == 0)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        server.stop();
    });
    server.listen_after_bind();
    done = true;
    stopper.join();
    return run.stopped() || (stops != nullptr && stops->load() > 0) ? run.stoppedStatus()
                                                                    : cli::kExitOk;
}

}  // namespace tamlo::serve
