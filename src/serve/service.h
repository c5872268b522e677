// The service's answers, with no socket in it: a request's method, target and headers in;
// a status, a content type and a body out. Read-only: no request changes a receiver.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "serve/watch.h"

namespace tamlo::serve {

struct Request {
    std::string method;
    std::string target;  // as sent: path and query
    std::vector<std::pair<std::string, std::string>> headers;
};

struct Response {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// A short answer in plain text, a refusal or a problem, ended by a newline for curl.
Response plainAnswer(int status, std::string body);

struct ServiceAddress {
    std::string host = "127.0.0.1";  // as listened on
    int port = 9723;
};

inline constexpr size_t kMaxTargetBytes = 1024;
inline constexpr size_t kMaxParameters = 4;

class Service {
  public:
    Service(Watch& watch, ServiceAddress address, std::string version);
    Response handleRequest(const Request& request);

    // The metrics text of these ports (Prometheus text format 0.0.4).
    static std::string metricsText(const std::vector<PortWatch>& ports);
    std::string receiversJson(const std::vector<PortWatch>& ports) const;

  private:
    bool hostAllowed(const std::string& host) const;

    Watch& watch_;
    ServiceAddress address_;
    std::string version_;
};

}  // namespace tamlo::serve
