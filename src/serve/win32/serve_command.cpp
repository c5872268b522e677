// The service's HTTP server on Winsock. Each connection gets one request and one answer and
// is closed; at most kThreads are answered at once, the others wait their turn, and a
// client that has not sent its request's head within kClientTimeoutMs is closed.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "serve/http_wire.h"
#include "serve/serve_run.h"

namespace tamlo::serve {

namespace {

constexpr int kClientTimeoutMs = 5000;
constexpr int kThreads = 16;

std::string systemMessage(int code) {
    // The two a user meets when starting the service, in the program's words.
    if (code == WSAEADDRINUSE) {
        return kAddressInUse;
    }
    if (code == WSAEADDRNOTAVAIL) {
        return kAddressNotHere;
    }
    char text[512] = {};
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

void sendAll(SOCKET s, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size() - sent, 65536));
        const int n = send(s, bytes.data() + sent, chunk, 0);
        if (n <= 0) {
            return;  // the client went away, or stalled past the send timeout
        }
        sent += static_cast<size_t>(n);
    }
}

void closeAfterAnswer(SOCKET s) {
    shutdown(s, SD_SEND);
    closesocket(s);
}

class WinsockServer final : public HttpServer {
  public:
    WinsockServer() { started_ = WSAStartup(MAKEWORD(2, 2), &wsa_) == 0; }
    ~WinsockServer() override {
        if (listener_ != INVALID_SOCKET) {
            closesocket(listener_);
        }
        if (started_) {
            WSACleanup();
        }
    }

    std::string bind(const ServiceAddress& address) override {
        if (!started_) {
            return "Winsock does not start";
        }
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(address.port);
        if (const int e = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found)) {
            return systemMessage(e);
        }
        std::string problem;
        for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
            SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == INVALID_SOCKET) {
                problem = systemMessage(WSAGetLastError());
                continue;
            }
            // No other program may take the same address beside the service.
            BOOL exclusive = TRUE;
            setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&exclusive),
                       sizeof exclusive);
            if (::bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 &&
                listen(s, SOMAXCONN) == 0) {
                listener_ = s;
                break;
            }
            problem = systemMessage(WSAGetLastError());
            closesocket(s);
        }
        freeaddrinfo(found);
        return listener_ == INVALID_SOCKET ? problem : std::string();
    }

    void run(Service& service, const std::function<bool()>& stopAsked) override {
        while (!stopAsked()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval second = {1, 0};  // the stop request is looked at once a second
            if (select(0, &readable, nullptr, nullptr, &second) <= 0) {
                continue;
            }
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                continue;
            }
            // All threads busy: the client waits for one, as further clients wait in the
            // system's queue of connections meanwhile.
            std::unique_lock lock(mutex_);
            idle_.wait(lock, [this] { return active_ < kThreads; });
            ++active_;
            lock.unlock();
            std::thread([this, &service, client] {
                answer(service, client);
                std::lock_guard done(mutex_);
                --active_;
                idle_.notify_all();
            }).detach();
        }
        // The requests under way are answered; none takes longer than a client's timeout and
        // one exchange with the receivers.
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return active_ == 0; });
    }

  private:
    static void answer(Service& service, SOCKET client) {
        DWORD timeout = kClientTimeoutMs;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout),
                   sizeof timeout);
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char*>(&timeout),
                   sizeof timeout);
        // A client that trickles its head a byte at a time is held to the same deadline.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kClientTimeoutMs);
        std::string bytes;
        char chunk[2048];
        HeadRead read;
        while (read.state == HeadRead::State::Incomplete &&
               std::chrono::steady_clock::now() < deadline) {
            const int n = recv(client, chunk, sizeof chunk, 0);
            if (n <= 0) {
                break;  // gone, or silent past the timeout
            }
            bytes.append(chunk, static_cast<size_t>(n));
            read = readRequestHead(bytes);
        }
        if (read.state == HeadRead::State::Done) {
            sendAll(client, responseBytes(service.handleRequest(read.request)));
        } else if (read.state == HeadRead::State::Refused) {
            sendAll(client, responseBytes(read.refusal));
        } else if (!bytes.empty()) {
            sendAll(client, responseBytes(plainAnswer(408, "the request did not come in time")));
        }
        closeAfterAnswer(client);
    }

    WSADATA wsa_ = {};
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    std::mutex mutex_;
    std::condition_variable idle_;
    int active_ = 0;
};

}  // namespace

int commandServe(cli::CommandContext& run, const std::vector<std::string>& ports) {
    WinsockServer server;
    return runService(run, ports, server, TAMLO_VERSION);
}

}  // namespace tamlo::serve
