#include "serve/serve_run.h"

#include <httplib.h>
#include <malloc.h>

#include <cerrno>
#include <functional>

namespace tamlo::serve {

namespace {

constexpr time_t kClientTimeoutS = 5;   // a slow client is closed after this long
constexpr size_t kMaxBodyBytes = 1024;  // no request here has a body
constexpr size_t kThreads = 8;          // requests served at once

// The library's pool of threads, told each second in which nobody asked.
class IdleWatchingPool final : public httplib::ThreadPool {
  public:
    explicit IdleWatchingPool(std::function<void()> onIdle)
        : ThreadPool(kThreads), onIdle_(std::move(onIdle)) {}
    void on_idle() override { onIdle_(); }

  private:
    std::function<void()> onIdle_;
};

class HttplibServer final : public HttpServer {
  public:
    std::string bind(const ServiceAddress& address) override {
        // SO_REUSEADDR for a restart while old connections linger, but not the library's
        // SO_REUSEPORT: a second service started by mistake must fail, not share the scrapes.
        socket_t listening = INVALID_SOCKET;
        server_.set_socket_options([&listening](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            listening = sock;
        });
        errno = 0;
        if (server_.bind_to_port(address.host, address.port)) {
            // The library listens with a backlog of 5: the sixth of many clients at once lost
            // its connection and tried again a second later. Listening again sets the
            // kernel's own limit, so they wait for a thread instead.
            if (listening != INVALID_SOCKET) {
                ::listen(listening, SOMAXCONN);
            }
            return {};
        }
        // The library says only that it failed; the last bind's errno says why.
        switch (errno) {
            case EADDRINUSE:
                return kAddressInUse;
            case EADDRNOTAVAIL:
                return kAddressNotHere;
            case EACCES:
                return "a port below 1024 needs root";
            default:
                return "in use, or not this machine's";
        }
    }

    void run(Service& service, const std::function<bool()>& stopAsked) override {
        // The accept loop wakes once a second when nobody asks, and then looks at the stop
        // request; a request looks at it too, so a stream of clients cannot hold off a stop.
        const auto stopIfAsked = [this, &stopAsked] {
            if (stopAsked()) {
                server_.stop();
            }
        };
        server_.set_idle_interval(1, 0);
        server_.new_task_queue = [&stopIfAsked] { return new IdleWatchingPool(stopIfAsked); };
        server_.set_read_timeout(kClientTimeoutS, 0);
        server_.set_write_timeout(kClientTimeoutS, 0);
        server_.set_keep_alive_timeout(kClientTimeoutS);
        server_.set_keep_alive_max_count(100);
        server_.set_payload_max_length(kMaxBodyBytes);
        const auto handle = [&service, &stopIfAsked](const std::string& method,
                                                     const httplib::Request& in,
                                                     httplib::Response& out) {
            stopIfAsked();
            Request request;
            request.method = method;
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
        // Every method reaches the service, which answers all but GET and HEAD with 405.
        const auto as = [&handle](const char* method) {
            return [&handle, method](const httplib::Request& in, httplib::Response& out) {
                handle(method, in, out);
            };
        };
        server_.Get(".*", [&handle](const httplib::Request& in, httplib::Response& out) {
            handle(in.method, in, out);  // GET, and HEAD, which the library routes here
        });
        server_.Post(".*", as("POST"));
        server_.Put(".*", as("PUT"));
        server_.Delete(".*", as("DELETE"));
        server_.Patch(".*", as("PATCH"));
        server_.Options(".*", as("OPTIONS"));
        server_.listen_after_bind();
    }

  private:
    httplib::Server server_;
};

}  // namespace

int commandServe(cli::CommandContext& run, const std::vector<std::string>& ports) {
    // Every scrape polls each port on a thread of its own, and glibc gives new threads new
    // malloc arenas, up to 16 on two cores, each keeping its pages: the resident memory crept
    // up by 0.2 MB a minute. The service allocates little (its heap peaks near 300 KB), so
    // two arenas serve it as well.
    mallopt(M_ARENA_MAX, 2);
    HttplibServer server;
    return runService(run, ports, server, TAMLO_VERSION);
}

}  // namespace tamlo::serve
